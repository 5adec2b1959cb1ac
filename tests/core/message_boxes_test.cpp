#include <gtest/gtest.h>

#include "support/scripted_message_boxes.h"

namespace orvet {
namespace {

TEST(ScriptedMessageBoxes, AnswersQuestionsInScriptOrderAndRecordsEverything) {
    ScriptedMessageBoxes boxes;
    boxes.expectQuestion("Перезагрузить УСПД?", true);
    boxes.expectQuestion("Очистить все архивы?", false);
    boxes.expectNotice("УСПД перезагружен");

    EXPECT_TRUE(boxes.question("Перезагрузить УСПД?", "Подтверждение"));
    EXPECT_FALSE(boxes.question("Очистить все архивы?", "Подтверждение"));
    boxes.information("УСПД перезагружен", "");

    EXPECT_TRUE(boxes.unexpected().empty());
    EXPECT_TRUE(boxes.pendingExpectations().empty());
    using K = ScriptedMessageBoxes::Kind;
    EXPECT_EQ(boxes.shown(), (std::vector<ScriptedMessageBoxes::Box>{
                                 {K::Question, "Перезагрузить УСПД?", "Подтверждение"},
                                 {K::Question, "Очистить все архивы?", "Подтверждение"},
                                 {K::Information, "УСПД перезагружен", ""}}));
}

TEST(ScriptedMessageBoxes, UnscriptedBoxesAreReportedAndAnsweredNo) {
    ScriptedMessageBoxes boxes;
    boxes.expectQuestion("Удалить?", true);
    EXPECT_FALSE(boxes.question("Перезагрузить УСПД?", "Подтверждение"));
    boxes.error("Can't open COM port", "COM port error");
    EXPECT_EQ(boxes.unexpected().size(), 2u);
    EXPECT_EQ(boxes.pendingExpectations(), QStringList{"Удалить?"});

    boxes.clear();
    boxes.allowNotices();
    boxes.warning("Внимание", "Внимание!");
    EXPECT_TRUE(boxes.unexpected().empty());
    EXPECT_EQ(boxes.shown().size(), 1u);
}

}  // namespace
}  // namespace orvet
