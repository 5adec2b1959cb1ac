// orvet-cli report: the configuration report in each of its formats, and the exit status
// that tells a written report from a failure and from unusable arguments.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <optional>

#include "report/config_report.h"
#include "support/program_run.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::ProgramRun;
using testing::toolOutput;

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ReportCommand : public ::testing::Test {
protected:
    ReportCommand() {
        execSql(*store.connection,
                "insert into USPD (id_uspd, uspd_name, enterprise) values (1, 'Котельная', "
                "'Теплосеть <Юг>')");
        // Numbered K5 in first place: the check warns of it.
        execSql(*store.connection,
                "insert into SpecEmDChannel (id_dchannel, id_dchannel_p, type_num, id_device, "
                "name, n_channel, t_device, id_uspd) values (40, 0, 'K5', 0, 'Дверь', 0, 15, 1)");
        execSql(*store.connection,
                "insert into CallbackPhone (phonenum, id_uspd) values ('84951234567', 1)");
    }
    QString output(const char* name) const { return store.dir.filePath(QLatin1String(name)); }
    ProgramRun run(QStringList args) const {
        args.prepend(QStringLiteral("report"));
        args << "--store" << store.path();
        return testing::runProgram(QStringLiteral(ORVET_CLI_PATH), args);
    }
    // The report written to `path`; empty (with the failure recorded) when it was not.
    QByteArray written(const QString& path) const {
        const ProgramRun result = run({"--output", path});
        if (result.exitCode != 0) {
            ADD_FAILURE() << "exit status " << result.exitCode << ": "
                          << result.errors.toStdString();
            return {};
        }
        return readAll(path);
    }

    testing::TempStore store;
};

TEST_F(ReportCommand, HtmlHoldsTheConfigurationTheImageAndTheFindings) {
    const QString path = output("report.html");
    const QString html = QString::fromUtf8(written(path));
    EXPECT_TRUE(html.contains("Котельная"));
    EXPECT_TRUE(html.contains("Теплосеть &lt;Юг&gt;")) << "the enterprise is escaped";
    EXPECT_TRUE(html.contains("Дверь"));
    EXPECT_TRUE(html.contains("84951234567"));
    EXPECT_TRUE(html.contains("CRC-16 config.dat"));
    EXPECT_FALSE(html.contains("Образ не сформирован")) << html.toStdString();
    EXPECT_TRUE(html.contains("предупреждение: канал K5 «Дверь»: нумерация каналов не сплошная"))
        << html.toStdString();
}

TEST_F(ReportCommand, AnImageThatCannotBeCompiledIsReportedInTheDocument) {
    execSql(*store.connection,
            "insert into CallbackPhone (phonenum, id_uspd) values ('8495123456789', 1)");
    const QString html = QString::fromUtf8(written(output("report.html")));
    EXPECT_TRUE(html.contains("Образ не сформирован")) << html.toStdString();
    EXPECT_TRUE(html.contains("8495123456789"));
    EXPECT_FALSE(html.contains("CRC-16 config.dat"));
}

TEST_F(ReportCommand, OdtIsAnOpenDocumentTextWithTheReport) {
    const QString path = output("report.ODT");
    const QByteArray bytes = written(path);
    // The first member of an ODF package is its uncompressed "mimetype".
    ASSERT_TRUE(bytes.startsWith("PK\x03\x04"));
    EXPECT_EQ(bytes.mid(30, 8), "mimetype");
    EXPECT_EQ(bytes.mid(38, 39), "application/vnd.oasis.opendocument.text");

    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), path, QStringLiteral("content.xml")});
    if (!unzip.waitForFinished())
        GTEST_SKIP() << "unzip is not available";
    ASSERT_EQ(unzip.exitCode(), 0);
    const QString content = QString::fromUtf8(unzip.readAllStandardOutput());
    EXPECT_TRUE(content.contains("Котельная"));
    EXPECT_TRUE(content.contains("Дверь"));
    EXPECT_TRUE(content.contains("нумерация каналов не сплошная"));
}

TEST_F(ReportCommand, PdfHasPages) {
    const QString path = output("report.pdf");
    const QByteArray bytes = written(path);
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    qsizetype pages = 0;
    for (qsizetype at = bytes.indexOf("/Type /Page"); at >= 0;
         at = bytes.indexOf("/Type /Page", at + 1)) {
        if (bytes.mid(at + 11, 1) != "s")
            ++pages;
    }
    EXPECT_GE(pages, 1);
}

TEST_F(ReportCommand, TablesHaveTheEditorsCaptions) {
    const QString html = QString::fromUtf8(written(output("report.html")));
    for (const char* caption :
         {"<th>№</th>", "<th>Наименование</th>", "<th>Архивируемый</th>", "<th>Инверсия</th>",
          "<th>Время дребезга (мс)</th>", "<th>Телефон</th>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(caption))) << caption;
    for (const char* field : {"id_dchannel", "type_num", "jingle_time", "phonenum", "id_uspd"})
        EXPECT_FALSE(html.contains(QStringLiteral("<th>%1</th>").arg(field))) << field;
    EXPECT_TRUE(html.contains("<td>K5</td><td>Дверь</td>")) << html.toStdString();
}

// The pages of the PDF hold the report's text to its end, and there are more of them for more
// channels: a layout that overflowed once gave a single empty page.
TEST_F(ReportCommand, PdfPagesHoldEveryChannel) {
    QList<int> pageCounts;
    for (const int channels : {30, 700}) {
        execSql(*store.connection, "delete from SpecEmDChannel");
        for (int i = 1; i <= channels; ++i) {
            execSql(*store.connection,
                    QStringLiteral("insert into SpecEmDChannel (id_dchannel, id_dchannel_p, "
                                   "type_num, n_channel, name, id_uspd) values (%1, %2, "
                                   "'K%1', %2, 'Датчик номер %1', 1)")
                        .arg(i)
                        .arg(i - 1));
        }
        const QString path = output("channels.pdf");
        ASSERT_TRUE(written(path).startsWith("%PDF-"));
        const std::optional<QString> info = toolOutput("pdfinfo", {path});
        if (!info)
            GTEST_SKIP() << "pdfinfo (poppler-utils) is not available";
        const QRegularExpression pagesLine("Pages:\\s+(\\d+)");
        const int pages = pagesLine.match(*info).captured(1).toInt();
        ASSERT_GT(pages, 0) << info->toStdString();
        pageCounts.append(pages);
        const std::optional<QString> text = toolOutput("pdftotext", {path, "-"});
        ASSERT_TRUE(text);
        EXPECT_TRUE(text->contains(QStringLiteral("Датчик номер %1").arg(channels))) << channels;
        const std::optional<QString> lastPage = toolOutput(
            "pdftotext", {"-f", QString::number(pages), "-l", QString::number(pages), path, "-"});
        ASSERT_TRUE(lastPage);
        // The findings end the report, the last channel's last.
        EXPECT_TRUE(lastPage->contains(QStringLiteral("K%1 «Датчик номер %1»").arg(channels)))
            << lastPage->toStdString();
    }
    EXPECT_GT(pageCounts[1], pageCounts[0] + 5);
}

// The PDF's resolution by its expected pages: 300 dpi while twice the pages stay within the
// layout's coordinates, lower beyond, none for a report no resolution holds.
TEST(PdfResolution, FallsWithThePagesAndEndsInARefusal) {
    const std::pair<qint64, int> cases[] = {{0, 300},    {1, 300},    {4700, 300},
                                            {6000, 200}, {9000, 150}, {12000, 100},
                                            {19000, 75}, {20000, 0},  {1000000, 0}};
    for (const auto& [pages, dpi] : cases)
        EXPECT_EQ(pdfResolutionFor(pages), dpi) << pages << " pages";
}

TEST_F(ReportCommand, ExitStatusTellsFailuresFromBadArguments) {
    struct Case {
        const char* what;
        QStringList args;
        int exitCode;
    };
    const QString missingStore = output("missing.db");
    const Case cases[] = {
        {"no output", {}, 2},
        {"unknown extension", {"--output", output("report.doc")}, 2},
        {"no extension", {"--output", output("report")}, 2},
        {"bad USPD number", {"--uspd", "x", "--output", output("a.html")}, 2},
        {"no such USPD", {"--uspd", "7", "--output", output("b.html")}, 1},
        {"unwritable file", {"--output", output("no/such/dir/c.pdf")}, 1},
        {"unwritable odt", {"--output", output("no/such/dir/c.odt")}, 1},
        {"unwritable html", {"--output", output("no/such/dir/c.html")}, 1},
    };
    for (const Case& c : cases) {
        const ProgramRun result = run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what << ": " << result.errors.toStdString();
        EXPECT_FALSE(result.errors.isEmpty()) << c.what;
    }
    const ProgramRun noStore =
        testing::runProgram(QStringLiteral(ORVET_CLI_PATH),
                            {"report", "--store", missingStore, "--output", output("d.html")});
    EXPECT_EQ(noStore.exitCode, 1);
    EXPECT_FALSE(QFile::exists(missingStore)) << "the store is not created";
    EXPECT_FALSE(QFile::exists(output("b.html")));
    EXPECT_FALSE(QFile::exists(output("d.html")));
}

}  // namespace
}  // namespace orvet
