#include <gtest/gtest.h>

#include <QSettings>

#include "core/settings.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

TEST(Settings, IntegersRoundTripAsDecimalText) {
    testing::TestPlatform test;
    Settings& settings = test.settings();
    settings.writeInteger("PakLen", 1024);
    settings.writeInteger("TOAnswer", -5);
    EXPECT_EQ(settings.readInteger("PakLen", 255), 1024);
    EXPECT_EQ(settings.readInteger("TOAnswer", 2000), -5);

    QSettings raw(test.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("1.0/PakLen").toString(), "1024");
    EXPECT_EQ(raw.value("1.0/TOAnswer").toString(), "-5");
}

TEST(Settings, MissingOrNonDecimalReadsAsDefault) {
    testing::TestPlatform test;
    Settings& settings = test.settings();
    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"abc", 255},         {"", 255}, {"12abc", 255}, {"0x10", 255}, {" 12", 255}, {"-", 255},
        {"99999999999", 255}, {"+7", 7}, {"0", 0},       {"-1", -1},
    };
    EXPECT_EQ(settings.readInteger("PakLen", 255), 255) << "missing value";
    for (const auto& c : cases) {
        settings.writeString("PakLen", c.stored);
        EXPECT_EQ(settings.readInteger("PakLen", 255), c.expected) << "stored '" << c.stored << "'";
    }
}

TEST(Settings, GroupsAreSeparateAndStringsKeepCyrillic) {
    testing::TestPlatform test;
    Settings& settings = test.settings();
    settings.writeString("COM1", "/dev/ttyUSB0", "Ports");
    settings.writeString("Phone", "8-495-Тест");
    EXPECT_EQ(settings.readString("COM1", "", "Ports"), "/dev/ttyUSB0");
    EXPECT_EQ(settings.readString("COM1", "none"), "none");
    EXPECT_EQ(settings.readString("Phone", ""), "8-495-Тест");
}

TEST(Settings, UnwritableStoreIsReported) {
    // Not writable even for root.
    const Settings readOnly = Settings::inFile("/proc/orvet-settings.ini");
    EXPECT_THROW(readOnly.writeInteger("PakLen", 1), SettingsError);
    EXPECT_EQ(readOnly.readInteger("PakLen", 255), 255);
}

}  // namespace
}  // namespace orvet
