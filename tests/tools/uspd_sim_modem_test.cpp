// uspd-sim --modem on its pseudo-terminal: the Hayes modem in front of the device answers AT
// commands, connects on a dial command and then passes frames to the device. Waits are
// bounded real-time waits on the terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "link/frame.h"
#include "support/program_run.h"

namespace orvet {
namespace {

class UspdSimModem : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sim.start(QStringLiteral(USPD_SIM_PATH),
                  {"--modem", "--connect", "200", "--link", link(), "--firmware", "2.27"});
        for (int i = 0; i < 100 && !QFileInfo::exists(link()); ++i)
            QThread::msleep(50);
        ASSERT_TRUE(QFileInfo::exists(link())) << "uspd-sim made no link";
        fd = ::open(QFile::encodeName(link()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios tio{};
        ASSERT_EQ(tcgetattr(fd, &tio), 0);
        cfmakeraw(&tio);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
    }
    void TearDown() override {
        if (fd >= 0)
            ::close(fd);
        sim.terminate();
        sim.waitForFinished(5000);
    }

    QString link() const { return dir.filePath(QStringLiteral("uspd")); }
    void send(const QByteArray& bytes) const {
        ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
    }
    // What the terminal receives until it ends with `end`, or 5 s have passed.
    QByteArray readUntil(const QByteArray& end) const {
        QByteArray seen;
        QElapsedTimer timer;
        timer.start();
        while (!seen.endsWith(end) && timer.elapsed() < 5000) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                seen.append(buffer, n);
        }
        return seen;
    }

    QTemporaryDir dir;
    QProcess sim;
    int fd = -1;
};

TEST_F(UspdSimModem, AnswersCommandsDialsAndPassesFramesToTheDevice) {
    send("AT\r");
    EXPECT_EQ(readUntil("OK\r\n"), "AT\r\r\nOK\r\n");
    send("ATE0\r");
    EXPECT_EQ(readUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
    // Before the connection a frame is only noise before a command.
    send(buildFrame(1, LinkCommand::Link) + "AT\r");
    EXPECT_EQ(readUntil("OK\r\n"), "\r\nOK\r\n");

    send("ATDT1234\r");
    EXPECT_EQ(readUntil("CONNECT\r\n"), "\r\nCONNECT\r\n");
    // Online: the device answers 'L' with its firmware version.
    send(buildFrame(1, LinkCommand::Link));
    const QByteArray reply = buildFrame(1, LinkCommand::Link, QByteArray("\x02\x1b", 2));
    EXPECT_EQ(readUntil(reply), reply);
}

TEST(UspdSimArguments, UnusableModemOptionsAreRefusedBeforeTheTerminal) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("uspd"));
    const struct {
        QStringList args;
        const char* error;
    } cases[] = {
        {{"--drop-carrier", "2"}, "uspd-sim: --drop-carrier needs --modem\n"},
        {{"--modem", "--connect", "0"}, "uspd-sim: --connect wants 1 or more ms\n"},
        {{"--modem", "--drop-carrier", "x"}, "uspd-sim: --drop-carrier wants a number, not 'x'\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const testing::ProgramRun run = testing::runProgram(QStringLiteral(USPD_SIM_PATH),
                                                            QStringList{"--link", link} + c.args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.errors, QString::fromUtf8(c.error));
        EXPECT_FALSE(QFileInfo::exists(link)) << "no terminal was made";
    }
}

TEST(UspdSimHelp, SaysThatThePseudoTerminalHasNoCarrier) {
    const testing::ProgramRun run = testing::runProgram(QStringLiteral(USPD_SIM_PATH), {"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.simplified().contains(
        QStringLiteral("A pseudo-terminal carries no modem lines: the carrier (DCD) cannot be "
                       "seen")))
        << run.out.toStdString();
}

}  // namespace
}  // namespace orvet
