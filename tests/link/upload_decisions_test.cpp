// The window's decisions are the program's question boxes, with their exact texts: a
// reworded question here is a reworded question for the user.
#include <gtest/gtest.h>

#include "link/upload_decisions.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

TEST(MessageBoxDecisions, AskTheProgramsQuestions) {
    testing::TestPlatform test;
    MessageBoxDecisions decisions(test.messages);
    using Kind = ScriptedMessageBoxes::Kind;
    const struct {
        const char* text;
        const char* caption;
        Kind kind;
        bool answer;
        std::function<bool()> ask;
    } cases[] = {
        {"Перезагрузить УСПД?", "Подтверждение", Kind::Question, true,
         [&] { return decisions.restartDevice(); }},
        {"Очистить все архивы?", "Подтверждение", Kind::Question, false,
         [&] { return decisions.clearArchives(); }},
        {"Версия 2.19 не поддерживается данным конфигуратором.\n Продолжить?", "Внимание!",
         Kind::WarningQuestion, true, [&] { return decisions.acceptFirmware(2, 19); }},
        {"Версия 3.-56 не поддерживается данным конфигуратором.\n Продолжить?", "Внимание!",
         Kind::WarningQuestion, false, [&] { return decisions.acceptFirmware(3, -56); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        test.messages.clear();
        test.messages.expectQuestion(QString::fromUtf8(c.text), c.answer);
        EXPECT_EQ(c.ask(), c.answer);
        ASSERT_EQ(test.messages.shown().size(), 1u);
        const ScriptedMessageBoxes::Box& box = test.messages.shown()[0];
        EXPECT_EQ(box.caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(box.kind, c.kind);
        EXPECT_TRUE(test.messages.unexpected().empty());
    }
}

}  // namespace
}  // namespace orvet
