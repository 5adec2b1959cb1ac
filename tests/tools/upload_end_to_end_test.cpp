// orvet-cli compile, then orvet-cli upload to uspd-sim over a real pseudo-terminal: the
// image the simulated device received is the file the compiler wrote.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>

#include "store/data_module.h"
#include "support/program_run.h"
#include "support/test_files.h"
#include "support/test_platform.h"

namespace orvet {
namespace {

using CliRun = testing::ProgramRun;

CliRun runCli(const QStringList& args) {
    return testing::runProgram(QStringLiteral(ORVET_CLI_PATH), args);
}

class UploadEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        test.messages.allowNotices();  // "store created"
        TDataModule1 data(test.platform(), store());
        Dataset& uspd = data.tblUSPD;
        uspd.open();
        uspd.append();
        uspd.fieldByName(u"uspd_name").setAsString(QStringLiteral("Котельная"));
        uspd.post();
        data.openDatasets();
        Dataset& ifaces = data.tblSpecInterFace;
        for (int port : {2, 1}) {
            ifaces.append();
            ifaces.fieldByName(u"port").setAsInteger(port);
            ifaces.fieldByName(u"baud").setAsInteger(4);
            ifaces.fieldByName(u"initstring").setAsString(QStringLiteral("ATZ"));
            ifaces.post();
        }
        const CliRun compiled = runCli({"compile", "--store", store(), "--output", image()});
        ASSERT_EQ(compiled.exitCode, 0) << compiled.errors.toStdString();
    }
    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(5000);
        }
    }

    // Starts the simulated device on a link in the test folder and waits for the link.
    void startSimulator(const QStringList& extra = {}) {
        sim.start(QStringLiteral(USPD_SIM_PATH),
                  QStringList{"--link", link(), "--output", received()} + extra);
        for (int i = 0; i < 100 && !QFileInfo::exists(link()); ++i)
            QThread::msleep(50);
        ASSERT_TRUE(QFileInfo::exists(link())) << "uspd-sim made no link";
    }

    QString store() const { return test.dir() + "/Config.db"; }
    QString image() const { return test.dir() + "/config.dat"; }
    QString link() const { return test.dir() + "/uspd"; }
    QString received() const { return test.dir() + "/received.dat"; }
    // What the device stored. Without a restart nothing answers the end of the image, so the
    // upload may end before the device has taken it in: wait for the file, a bounded time.
    QByteArray storedImage() const {
        for (int i = 0; i < 100 && !QFileInfo::exists(received()); ++i)
            QThread::msleep(50);
        return testing::readFile(received());
    }

    testing::TestPlatform test;
    QProcess sim;
};

TEST_F(UploadEndToEnd, DeviceReceivesTheCompiledImage) {
    startSimulator({"--split", "3:30", "--silent", "T:1"});
    const CliRun upload = runCli({"upload", "--port", link(), "--file", image(), "--paklen", "50",
                                  "--answer-timeout", "500", "--restart", "--clear-archives"});
    EXPECT_EQ(upload.exitCode, 0) << upload.errors.toStdString();
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("УСПД перезагружен")));
    EXPECT_EQ(testing::readFile(received()), testing::readFile(image()));
}

// The fast exchange over a real line, against a device that answers at once and one whose
// replies come in two parts (which wait for their second part).
TEST_F(UploadEndToEnd, FastExchangeDeliversTheImage) {
    for (const QStringList& device :
         {QStringList{"--turnaround", "0"}, QStringList{"--turnaround", "2", "--split", "3:30"}}) {
        SCOPED_TRACE(device.join(' ').toStdString());
        QFile::remove(received());
        startSimulator(device);
        const CliRun upload = runCli({"upload", "--port", link(), "--file", image(), "--paklen",
                                      "50", "--answer-timeout", "500", "--fast", "--restart"});
        EXPECT_EQ(upload.exitCode, 0) << upload.errors.toStdString();
        EXPECT_TRUE(upload.errors.contains(QStringLiteral("УСПД перезагружен")));
        EXPECT_EQ(testing::readFile(received()), testing::readFile(image()));
        sim.terminate();
        sim.waitForFinished(5000);
    }
}

// "--port sim": the training USPD in the program itself keeps the image it received in its
// folder of temporary files, also when the upload ends without a restart right after 'W'.
TEST_F(UploadEndToEnd, TrainingUspdKeepsTheImageWithoutARestart) {
    const QByteArray temp = qgetenv("TMPDIR");
    qputenv("TMPDIR", test.dir().toUtf8());
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "restarted" : "no restart");
        QFile::remove(test.dir() + "/orvet-4410-sim/config.dat");
        QStringList args{"upload", "--port", "sim",    "--file",
                         image(),  "--baud", "115200", "--fast"};
        if (restart)
            args << "--restart";
        const CliRun upload = runCli(args);
        EXPECT_EQ(upload.exitCode, 0) << upload.errors.toStdString();
        EXPECT_EQ(testing::readFile(test.dir() + "/orvet-4410-sim/config.dat"),
                  testing::readFile(image()));
    }
    qputenv("TMPDIR", temp);
}

// --trace writes the frame log: every frame with its direction, letter and verdict, here a
// silence on 'S' and a bad CRC on the first acknowledgement.
TEST_F(UploadEndToEnd, TraceFileListsTheFramesAndTheirFaults) {
    startSimulator({"--silent", "S:1", "--corrupt-crc", "T:1"});
    const QString trace = test.dir() + "/trace.txt";
    const CliRun upload = runCli({"upload", "--port", link(), "--file", image(), "--paklen", "50",
                                  "--answer-timeout", "500", "--restart", "--trace", trace});
    EXPECT_EQ(upload.exitCode, 0) << upload.errors.toStdString();
    const QStringList lines = QString::fromUtf8(testing::readFile(trace)).split('\n');
    ASSERT_GT(lines.size(), 2);
    EXPECT_EQ(lines.back(), QString()) << "every line ends";
    // The first line that matches `pattern` whole.
    const auto has = [&](const char* pattern) {
        return lines.indexOf(QRegularExpression(QString::fromUtf8(pattern)));
    };
    EXPECT_TRUE(QRegularExpression("^ +0\\.\\d{3} → 'L'    4 байт  01 4C 01 D5$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    const int silence = has("^ +\\d+\\.\\d{3} × 'S' \\[таймаут 500 мс\\]$");
    EXPECT_GE(silence, 0);
    EXPECT_GT(has("^ +\\d+\\.\\d{3} → 'S'   20 байт \\[повтор 1\\]  01 53 .*"), silence);
    const int badCrc = has("^ +\\d+\\.\\d{3} ← 'T'    5 байт \\[Ошибка CRC\\]  01 54 00 .*");
    EXPECT_GT(badCrc, silence);
    EXPECT_GT(has("^ +\\d+\\.\\d{3} → 'T'   55 байт \\[повтор 1\\]  01 54 00 .*"), badCrc);
    EXPECT_GE(has("^ +\\d+\\.\\d{3} ← 'X'    4 байт \\[принят\\]  01 58 .*"), 0);
}

TEST_F(UploadEndToEnd, UnsupportedFirmwareEndsBeforeTheImage) {
    startSimulator({"--firmware", "2.19"});
    const CliRun upload = runCli({"upload", "--port", link()});
    EXPECT_NE(upload.exitCode, 0);
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("Версия 2.19 не поддерживается")));
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("Продолжить? — нет")));
    EXPECT_FALSE(QFileInfo::exists(received()));

    // Accepted from its flag, the same firmware takes the image (the restart's reply comes
    // after the device has written what it received).
    const CliRun accepted =
        runCli({"upload", "--port", link(), "--file", image(), "--accept-firmware", "--restart"});
    EXPECT_EQ(accepted.exitCode, 0) << accepted.errors.toStdString();
    EXPECT_TRUE(accepted.errors.contains(QStringLiteral("Продолжить? — да")));
    EXPECT_TRUE(accepted.errors.contains(QStringLiteral("Перезагрузить УСПД? — да")));
    EXPECT_EQ(testing::readFile(received()), testing::readFile(image()));
}

TEST_F(UploadEndToEnd, SilentDeviceIsGivenUp) {
    startSimulator({"--silent", "L:100"});
    const CliRun upload =
        runCli({"upload", "--port", link(), "--answer-timeout", "100", "--max-repeats", "3"});
    EXPECT_NE(upload.exitCode, 0);
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("УСПД не отвечает")));
}

TEST_F(UploadEndToEnd, StaleAcknowledgementResendsTheBlock) {
    startSimulator({"--stale-ack", "2"});
    const CliRun upload = runCli({"upload", "--port", link(), "--file", image(), "--paklen", "40",
                                  "--answer-timeout", "500"});
    EXPECT_EQ(upload.exitCode, 0) << upload.errors.toStdString();
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("подтверждён блок 1 вместо 2")));
    EXPECT_EQ(storedImage(), testing::readFile(image()))
        << "block 3's bytes are not stored as block 2";
}

TEST_F(UploadEndToEnd, EndlessFaultsAreGivenUpWithTheirCause) {
    const struct {
        QStringList simulator;
        const char* cause;
    } cases[] = {
        {{"--refuse-s", "1000"}, "Запрос 'S' повторён 2 раз без успеха: пароль не принят."},
        {{"--stale-acks"}, "Запрос 'T' повторён 2 раз без успеха: подтверждён блок 255 вместо 0."},
        {{"--reply-letter", "Q"},
         "Запрос 'L' повторён 2 раз без успеха: ответ с неизвестной командой 'Q'."},
        {{"--foreign-address", "7"},
         "Запрос 'L' повторён 2 раз без успеха: ответ с чужим адресом 7."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        startSimulator(c.simulator);
        const CliRun upload = runCli({"upload", "--port", link(), "--file", image(),
                                      "--answer-timeout", "200", "--max-repeats", "2"});
        EXPECT_EQ(upload.exitCode, 1) << upload.errors.toStdString();
        EXPECT_TRUE(upload.errors.contains(QString::fromUtf8(c.cause)))
            << upload.errors.toStdString();
        sim.terminate();
        sim.waitForFinished(5000);
    }
}

TEST_F(UploadEndToEnd, OutOfRangeTimingIsRefused) {
    const struct {
        QStringList args;
        const char* refusal;
    } cases[] = {
        {{"--answer-timeout", "0"},
         "таймаут ответа 0 мс вне пределов 1..600000 (--answer-timeout)"},
        {{"--answer-timeout", "-5"}, "таймаут ответа -5 мс вне пределов 1..600000"},
        {{"--answer-timeout", "600001"}, "таймаут ответа 600001 мс вне пределов 1..600000"},
        {{"--max-repeats", "-1"}, "число повторов -1 меньше 0 (--max-repeats)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refusal);
        const CliRun upload = runCli(QStringList{"upload", "--port", link()} + c.args);
        EXPECT_EQ(upload.exitCode, 2);
        EXPECT_TRUE(upload.errors.contains(QString::fromUtf8(c.refusal)))
            << upload.errors.toStdString();
    }
}

TEST_F(UploadEndToEnd, VanishedDeviceEndsTheUploadAtOnce) {
    // The device takes the image's announcement and then says nothing more; the reply
    // time-out is longer than the test.
    startSimulator({"--silent", "T:1000"});
    QProcess cli;
    cli.setReadChannel(QProcess::StandardError);
    cli.start(QStringLiteral(ORVET_CLI_PATH),
              {"upload", "--port", link(), "--file", image(), "--answer-timeout", "600000"});
    QString said;
    while (!said.contains(QStringLiteral("Ожидание подтверждения блоков")) &&
           cli.waitForReadyRead(30'000))
        said += QString::fromUtf8(cli.readAllStandardError());
    ASSERT_TRUE(said.contains(QStringLiteral("Ожидание подтверждения блоков")))
        << said.toStdString();
    sim.kill();
    sim.waitForFinished(5000);
    ASSERT_TRUE(cli.waitForFinished(30'000)) << "the upload did not notice";
    said += QString::fromUtf8(cli.readAllStandardError());
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("Порт закрыт: устройство отключено.")))
        << said.toStdString();
}

TEST_F(UploadEndToEnd, MissingDeviceIsReported) {
    const CliRun upload = runCli({"upload", "--port", test.dir() + "/no-such-tty"});
    EXPECT_NE(upload.exitCode, 0);
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("Can't open COM port")));
    EXPECT_TRUE(upload.errors.contains(test.dir() + "/no-such-tty: " + qt_error_string(ENOENT)))
        << upload.errors.toStdString();
}

}  // namespace
}  // namespace orvet
