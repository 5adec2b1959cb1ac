// orvet-cli report on a large USPD (200 modules, 20 000 channels, over 500 pages): the PDF's
// pages hold the report to its last channel, and the ODF holds it too. Slow (a minute or more), so
// it carries the ctest label "long", which `scripts/test` leaves out unless asked.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

#include "support/program_run.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::toolOutput;

TEST(ReportOfALargeUspd, EveryPageAndTheOdfHoldTheChannels) {
    testing::TempStore store;
    execSql(*store.connection, "insert into USPD (id_uspd, uspd_name) values (1, 'Большой')");
    execSql(*store.connection,
            "insert into SpecDevice (id_device, t_device, n_on_iface, fullname, id_uspd) "
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 200) "
            "select i, 6, i, 'Смешанный №' || i, 1 from n");
    const struct {
        const char* table;
        const char* key;
        const char* letter;
        int count;
    } kinds[] = {{"SpecAChannel", "id_achannel", "G", 8000},
                 {"SpecDChannel", "id_dchannel", "E", 8000},
                 {"SpecNIChannel", "id_nichannel", "C", 4000}};
    for (const auto& kind : kinds) {
        execSql(*store.connection,
                QStringLiteral("insert into %1 (%2, %2_p, type_num, name, n_channel, id_device, "
                               "t_device, id_uspd) with recursive n(i) as (select 1 union all "
                               "select i + 1 from n where i < %4) select i, i - 1, '%3' || i, "
                               "'Канал %3' || i, 0, 1 + i % 200, 6, 1 from n")
                    .arg(kind.table, kind.key, kind.letter)
                    .arg(kind.count));
    }
    const QString pdf = store.dir.filePath("large.pdf");
    const QString odt = store.dir.filePath("large.odt");
    for (const QString& path : {pdf, odt}) {
        const testing::ProgramRun run =
            testing::runProgram(QStringLiteral(ORVET_CLI_PATH),
                                {"report", "--store", store.path(), "--output", path}, 1800000);
        ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    }

    const std::optional<QString> info = toolOutput("pdfinfo", {pdf});
    ASSERT_TRUE(info) << "pdfinfo (poppler-utils) is needed";
    const int pages = QRegularExpression("Pages:\\s+(\\d+)").match(*info).captured(1).toInt();
    EXPECT_GT(pages, 500) << info->toStdString();
    // A layout past its coordinates came out as one empty page, or short of the end.
    const std::optional<QString> text = toolOutput("pdftotext", {pdf, "-"}, 600000);
    ASSERT_TRUE(text);
    const QStringList pageTexts = text->split(QLatin1Char('\f'));
    qsizetype blank = 0;
    for (const QString& page : pageTexts)
        blank += page.trimmed().isEmpty() ? 1 : 0;
    EXPECT_LE(blank, 1) << "the last piece after the final form feed may be empty";
    for (const char* last : {"Канал G8000", "Канал E8000", "Канал C4000"})
        EXPECT_TRUE(text->contains(QString::fromUtf8(last))) << last;

    const std::optional<QString> content = toolOutput("unzip", {"-p", odt, "content.xml"});
    ASSERT_TRUE(content) << "unzip is needed";
    for (const char* last : {"Канал G8000", "Канал E8000", "Канал C4000"})
        EXPECT_TRUE(content->contains(QString::fromUtf8(last))) << last;
}

}  // namespace
}  // namespace orvet
