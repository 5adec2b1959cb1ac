// orvet-cli compile, then orvet-cli upload to uspd-sim over a real pseudo-terminal: the
// image the simulated device received is the file the compiler wrote.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QThread>

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

TEST_F(UploadEndToEnd, MissingDeviceIsReported) {
    const CliRun upload = runCli({"upload", "--port", test.dir() + "/no-such-tty"});
    EXPECT_NE(upload.exitCode, 0);
    EXPECT_TRUE(upload.errors.contains(QStringLiteral("Can't open COM port")));
}

}  // namespace
}  // namespace orvet
