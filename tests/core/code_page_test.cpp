#include <gtest/gtest.h>

#include "core/code_page.h"

namespace orvet {
namespace {

struct CodePageCase {
    const char* text;  // UTF-8
    QByteArray cp1251;
    QByteArray cp866;
};

TEST(CodePage, ExactBytesOfLettersAndSigns) {
    const CodePageCase cases[] = {
        {"А", "\xC0", "\x80"},
        {"я", "\xFF", "\xEF"},
        {"Ё", "\xA8", "\xF0"},
        {"ё", "\xB8", "\xF1"},
        {"Пароль1",
         "\xCF\xE0\xF0\xEE\xEB\xFC"
         "1",
         "\x8F\xA0\xE0\xAE\xAB\xEC"
         "1"},
        {"AT&F0", "AT&F0", "AT&F0"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(toCodePage(text, CodePage::Ansi), c.cp1251) << c.text;
        EXPECT_EQ(toCodePage(text, CodePage::Oem), c.cp866) << c.text;
        EXPECT_EQ(fromCodePage(c.cp1251, CodePage::Ansi), text) << c.text;
        EXPECT_EQ(fromCodePage(c.cp866, CodePage::Oem), text) << c.text;
    }
}

TEST(CodePage, MissingCharacterBecomesOneQuestionMark) {
    // "€" exists in CP1251 (0x88) but not in CP866; "日" and an emoji (two UTF-16 units) in
    // neither. Each costs exactly one byte so that the text keeps its length.
    const QString text = QString::fromUtf8("a€日😀b");
    EXPECT_EQ(toCodePage(text, CodePage::Ansi), QByteArray("a\x88??b"));
    EXPECT_EQ(toCodePage(text, CodePage::Oem), QByteArray("a???b"));
}

TEST(CodePage, UndefinedByteDecodesToReplacementCharacter) {
    // 0x98 has no character in CP1251.
    EXPECT_EQ(fromCodePage("\x98", CodePage::Ansi), QString(QChar(0xFFFD)));
}

}  // namespace
}  // namespace orvet
