#include <gtest/gtest.h>

#include "editing/archive_settings.h"
#include "store/store_error.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

TEST(ArchiveSettings, DepthTextInHoursMinutesAndDays) {
    const struct {
        const char* minutes;
        const char* records;
        const char* text;
    } cases[] = {
        {"30", "1440", "720 ч. 0 мин. или 30 сут."},
        {"7", "100", "11 ч. 40 мин. или 0 сут."},
        {"1", "59", "0 ч. 59 мин. или 0 сут."},
        {"0", "100", "0 ч. 0 мин. или 0 сут."},
        // Two 16-bit counts: the product (4294836225) is past a 32-bit integer; 71580603.75
        // hours held as a 32-bit float are 71580600.
        {"65535", "65535", "71580600 ч. 0 мин. или 2982525 сут."},
        {"", "100", ""},
        {"30", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(archiveDepth(QString::fromUtf8(c.minutes), QString::fromUtf8(c.records)),
                  QString::fromUtf8(c.text))
            << c.minutes << " x " << c.records;
    }
}

TEST(ArchiveSettings, NotANumberIsRefusedWithTheConversionMessage) {
    const QString message =
        testing::storeErrorOf([] { archiveDepth(QStringLiteral("3x"), QStringLiteral("10")); });
    EXPECT_TRUE(message.contains(QStringLiteral("3x"))) << message.toStdString();
}

TEST(ArchiveSettings, RecordsRoundUpToMultiplesOf16) {
    const std::pair<qint64, qint64> cases[] = {{100, 112}, {96, 96}, {0, 0},
                                               {1, 16},    {17, 32}, {65535, 65536}};
    for (const auto& [records, rounded] : cases)
        EXPECT_EQ(roundedRecords(records), rounded) << records;
}

}  // namespace
}  // namespace orvet
