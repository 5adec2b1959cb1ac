#include <gtest/gtest.h>

#include "link/link_settings.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

TEST(LinkSettings, LoadsStoredValuesOrDefaults) {
    const struct {
        const char* pakLen;  // nullptr: not stored
        const char* toAnswer;
        int expectedPakLen;
        int expectedTOAnswer;
    } cases[] = {
        {nullptr, nullptr, 255, 2000},
        {"1024", "500", 1024, 500},
        {"abc", "", 255, 2000},
        // Loading does not range-check; the exchange refuses unusable values before it starts.
        {"5000", "-1", 5000, -1},
        {"0", "0", 0, 0},
    };
    for (const auto& c : cases) {
        testing::TestPlatform test;
        if (c.pakLen)
            test.settings().writeString("PakLen", c.pakLen);
        if (c.toAnswer)
            test.settings().writeString("TOAnswer", c.toAnswer);
        const LinkSettings link = LinkSettings::load(test.settings());
        EXPECT_EQ(link.PakLen, c.expectedPakLen) << (c.pakLen ? c.pakLen : "(none)");
        EXPECT_EQ(link.TOAnswer, c.expectedTOAnswer) << (c.toAnswer ? c.toAnswer : "(none)");
    }
}

TEST(LinkSettings, ValidateNamesTheLimits) {
    const struct {
        int pakLen;
        int toAnswer;
        const char* problem;  // empty: usable
    } cases[] = {
        {1, 0, ""},
        {1024, 600000, ""},
        {255, 2000, ""},
        {1025, 2000, "Длина пакета не может превышать 1024 байта"},
        {0, 2000, "Длина пакета должна быть не меньше 1 байта"},
        {-3, -1, "Длина пакета должна быть не меньше 1 байта"},
        {255, -1, "Таймаут ответа не может быть отрицательным"},
    };
    for (const auto& c : cases) {
        const LinkSettings link{c.pakLen, c.toAnswer};
        EXPECT_EQ(link.validate(), QString::fromUtf8(c.problem)) << c.pakLen << " " << c.toAnswer;
    }
}

TEST(LinkSettings, SaveThenLoadGivesTheSameValues) {
    for (const bool fast : {false, true}) {
        testing::TestPlatform test;
        const LinkSettings link{64, 0, fast};
        link.save(test.settings());
        EXPECT_EQ(LinkSettings::load(test.settings()), link);
        EXPECT_EQ(test.settings().readString("PakLen", ""), QStringLiteral("64"));
        EXPECT_EQ(test.settings().readString("FastExchange", ""), fast ? "1" : "0");
    }
}

TEST(LinkSettings, FastExchangeIsOffUnlessStoredOn) {
    const struct {
        const char* stored;  // nullptr: not stored
        bool fast;
    } cases[] = {{nullptr, false}, {"0", false}, {"abc", false}, {"1", true}};
    for (const auto& c : cases) {
        testing::TestPlatform test;
        if (c.stored)
            test.settings().writeString("FastExchange", c.stored);
        EXPECT_EQ(LinkSettings::load(test.settings()).FastExchange, c.fast)
            << (c.stored ? c.stored : "(none)");
    }
}

TEST(ConnectionSettings, UnstoredValuesComeFromWhatIsShown) {
    testing::TestPlatform test;
    ConnectionSettings shown;
    shown.Port = 3;
    shown.Baud = -1;
    shown.Phone = QStringLiteral("8-800");
    shown.TypeDial = ConnectionSettings::kToneDialling;
    shown.ActivePage = ConnectionSettings::kModemPage;
    EXPECT_EQ(ConnectionSettings::load(test.settings(), shown), shown);

    test.settings().writeString("Baud", "fast");  // edited outside the program
    test.settings().writeInteger("ModemNumDevice", 12);
    const ConnectionSettings loaded = ConnectionSettings::load(test.settings(), shown);
    EXPECT_EQ(loaded.Baud, -1);
    EXPECT_EQ(loaded.ModemNumDevice, 12);
}

TEST(ConnectionSettings, SaveWritesEveryValueAsTheDialogStoresIt) {
    testing::TestPlatform test;
    ConnectionSettings c;
    c.Port = -1;
    c.Baud = 7;
    c.NumDevice = 0;
    c.ModemPort = 1;
    c.ModemBaud = 5;
    c.ModemNumDevice = 300;
    c.Phone = QStringLiteral("1234");
    c.TypeDial = 1;
    c.ActivePage = 1;
    c.save(test.settings());
    const struct {
        const char* name;
        const char* text;
    } stored[] = {{"Port", "-1"},     {"Baud", "7"},      {"NumDevice", "0"},
                  {"ModemPort", "1"}, {"ModemBaud", "5"}, {"ModemNumDevice", "300"},
                  {"Phone", "1234"},  {"TypeDial", "1"},  {"ActivePage", "1"}};
    for (const auto& value : stored)
        EXPECT_EQ(test.settings().readString(value.name, ""), value.text) << value.name;
    EXPECT_EQ(ConnectionSettings::load(test.settings(), {}), c);
}

TEST(ConnectionSettings, SpeedsByListIndex) {
    EXPECT_EQ(ConnectionSettings::baudRate(0), 1200);
    EXPECT_EQ(ConnectionSettings::baudRate(5), 38400);
    EXPECT_EQ(ConnectionSettings::baudRate(7), 115200);
    EXPECT_EQ(ConnectionSettings::baudRate(8), std::nullopt);
    EXPECT_EQ(ConnectionSettings::baudRate(-1), std::nullopt);
}

}  // namespace
}  // namespace orvet
