// orvet-cli report: the configuration report in each of its formats, and the exit status
// that tells a written report from a failure and from unusable arguments.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>

#include "support/program_run.h"
#include "support/store_test_support.h"

namespace orvet {
namespace {

using testing::execSql;
using testing::ProgramRun;

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
