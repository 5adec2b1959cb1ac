// uspd-sim: a simulated USPD on a pseudo-terminal. PATH becomes a symbolic link to the
// terminal's device side, so the configurator (or orvet-cli upload) can open it as a port.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstdio>

#include "core/qt_clock.h"
#include "sim/simulator.h"

namespace {

using orvet::sim::Options;

int stopPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
}

class PtyLine final : public orvet::sim::SimLine {
public:
    explicit PtyLine(int fd) : fd_(fd) {}
    void write(const QByteArray& bytes) override {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                std::perror("uspd-sim: write");
                return;
            }
            done += n;
        }
    }

private:
    int fd_;
};

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "uspd-sim: %s\n", qPrintable(message));
    std::exit(2);
}

// "L:2" -> ('L', 2)
std::pair<char, int> letterCount(const QString& text, const char* option) {
    const QStringList parts = text.split(u':');
    bool ok = parts.size() == 2 && parts[0].size() == 1;
    const int count = ok ? parts[1].toInt(&ok) : 0;
    if (!ok)
        fail(QStringLiteral("--%1 wants LETTER:COUNT, not '%2'").arg(QLatin1String(option), text));
    return {parts[0][0].toLatin1(), count};
}

int number(const QString& text, const char* option) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("--%1 wants a number, not '%2'").arg(QLatin1String(option), text));
    return value;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated ORVET-4410 USPD on a pseudo-terminal, for trying uploads without a "
        "device. Runs until stopped (Ctrl+C)."));
    parser.addHelpOption();
    const auto option = [](const char* name, const char* help, const char* value = "",
                           const char* fallback = "") {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                  QString::fromLatin1(value), QString::fromLatin1(fallback));
    };
    parser.addOptions({
        option("link", "Make PATH a symbolic link to the terminal.", "PATH"),
        option("device", "Device number (default 1).", "N", "1"),
        option("firmware", "Firmware version (default 2.25).", "MAJOR.MINOR", "2.25"),
        option("output", "Write each received image to FILE.", "FILE"),
        option("silent", "Leave the first K frames of LETTER unanswered (repeatable).", "LETTER:K"),
        option("refuse-s", "Refuse the first K 'S' frames.", "K", "0"),
        option("corrupt-crc", "Corrupt the CRC of the first K replies to LETTER (repeatable).",
               "LETTER:K"),
        option("swap-crc", "Send every reply's CRC bytes in swapped order."),
        option("split", "Send replies in two parts: the first BYTES, the rest MS later.",
               "BYTES:MS"),
        option("stale-ack", "Acknowledge block N once with the previous number.", "N"),
        option("stale-acks", "Acknowledge every block with the previous number."),
        option("reply-letter", "Answer every frame with LETTER in place of its own.", "LETTER"),
        option("foreign-address", "Answer from address N.", "N"),
        option("frame-gap", "Quiet time that ends a frame, ms (default 20).", "MS", "20"),
        option("modem",
               "Put a Hayes modem in front of the device: it echoes and answers AT commands, "
               "ATDP/ATDT answer CONNECT after the connection time and pass bytes on to the "
               "device, +++ returns to commands, ATH hangs up. A pseudo-terminal carries no "
               "modem lines: the carrier (DCD) cannot be seen and dropping DTR does not hang "
               "up, so a configurator that waits for the carrier waits in vain; a port mapped "
               "to sim:modem in the configurator has them."),
        option("connect", "Modem: from the dial command to CONNECT, ms (default 1000).", "MS",
               "1000"),
        option("drop-carrier", "Modem: hang up (NO CARRIER) after acknowledging K blocks.", "K"),
        option("turnaround",
               "Answer MS after a request ends, and end a 'T' frame as soon as its block is "
               "whole instead of after the quiet time (default: 'T' frames end with the quiet "
               "time, other requests are answered at once).",
               "MS"),
    });
    parser.process(app);
    if (!parser.isSet(QStringLiteral("link")))
        fail(QStringLiteral("--link PATH is required"));
    const QString link = parser.value(QStringLiteral("link"));
    // PATH is replaced: only an old link (or nothing) may be there, never a file or a device.
    if (const QFileInfo there(link); there.exists() && !there.isSymLink())
        fail(QStringLiteral("%1 exists and is not a symbolic link; it is left as it is").arg(link));

    Options options;
    options.device = number(parser.value(QStringLiteral("device")), "device");
    const QStringList version = parser.value(QStringLiteral("firmware")).split(u'.');
    if (version.size() != 2)
        fail(QStringLiteral("--firmware wants MAJOR.MINOR"));
    options.major = number(version[0], "firmware");
    options.minor = number(version[1], "firmware");
    for (const QString& v : parser.values(QStringLiteral("silent"))) {
        const auto [letter, count] = letterCount(v, "silent");
        options.faults.silentFirst[letter] = count;
    }
    options.faults.refuseSize = number(parser.value(QStringLiteral("refuse-s")), "refuse-s");
    for (const QString& v : parser.values(QStringLiteral("corrupt-crc"))) {
        const auto [letter, count] = letterCount(v, "corrupt-crc");
        options.faults.corruptCrc[letter] = count;
    }
    options.faults.swapCrc = parser.isSet(QStringLiteral("swap-crc"));
    if (parser.isSet(QStringLiteral("split"))) {
        const QStringList parts = parser.value(QStringLiteral("split")).split(u':');
        if (parts.size() != 2)
            fail(QStringLiteral("--split wants BYTES:MS"));
        options.faults.splitAt = number(parts[0], "split");
        options.faults.splitDelayMs = number(parts[1], "split");
    }
    if (parser.isSet(QStringLiteral("stale-ack"))) {
        options.faults.staleAckAtBlock =
            number(parser.value(QStringLiteral("stale-ack")), "stale-ack");
    }
    options.faults.staleAckAlways = parser.isSet(QStringLiteral("stale-acks"));
    if (parser.isSet(QStringLiteral("reply-letter"))) {
        const QString letter = parser.value(QStringLiteral("reply-letter"));
        if (letter.size() != 1 || letter[0].unicode() > 0x7F)
            fail(QStringLiteral("--reply-letter wants one ASCII letter"));
        options.faults.replyLetter = letter[0].toLatin1();
    }
    if (parser.isSet(QStringLiteral("foreign-address"))) {
        options.faults.foreignAddress =
            number(parser.value(QStringLiteral("foreign-address")), "foreign-address");
    }
    options.frameGapMs = number(parser.value(QStringLiteral("frame-gap")), "frame-gap");
    if (parser.isSet(QStringLiteral("turnaround"))) {
        options.turnaroundMs = number(parser.value(QStringLiteral("turnaround")), "turnaround");
        if (options.turnaroundMs < 0)
            fail(QStringLiteral("--turnaround wants 0 or more ms"));
    }

    options.modem = parser.isSet(QStringLiteral("modem"));
    options.carrierDelayMs = number(parser.value(QStringLiteral("connect")), "connect");
    if (options.carrierDelayMs < 1)
        fail(QStringLiteral("--connect wants 1 or more ms"));
    if (parser.isSet(QStringLiteral("drop-carrier"))) {
        if (!options.modem)
            fail(QStringLiteral("--drop-carrier needs --modem"));
        options.faults.dropCarrierAfterBlocks =
            number(parser.value(QStringLiteral("drop-carrier")), "drop-carrier");
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        fail(QStringLiteral("no pseudo-terminal"));
    const char* slaveName = ptsname(master);
    // Held open so that the terminal survives the configurator closing its side, and set
    // raw so that nothing is echoed or translated before the configurator opens it.
    const int slave = ::open(slaveName, O_RDWR | O_NOCTTY);
    if (slave < 0)
        fail(QStringLiteral("cannot open the terminal's device side"));
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);

    QFile::remove(link);
    if (::symlink(slaveName, QFile::encodeName(link).constData()) != 0) {
        fail(QStringLiteral("cannot create the link %1").arg(link));
    }
    std::fprintf(stderr, "uspd-sim: device %d, firmware %d.%d%s, on %s -> %s\n", options.device,
                 options.major, options.minor, options.modem ? ", behind a modem" : "",
                 qPrintable(link), slaveName);

    orvet::QtClock clock;
    PtyLine line(master);
    orvet::sim::UspdSimulator device(clock, line, options);
    device.onLog = [](const QString& text) {
        std::fprintf(stderr, "uspd-sim: %s\n", qPrintable(text));
    };
    const QString output = parser.value(QStringLiteral("output"));
    device.onImage = [&output](const QByteArray& image) {
        if (output.isEmpty())
            return;
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
            std::fprintf(stderr, "uspd-sim: cannot write %s\n", qPrintable(output));
        }
    };

    QSocketNotifier input(master, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            device.receive(QByteArray(buffer, n));
    });

    if (::pipe(stopPipe) != 0)
        fail(QStringLiteral("no pipe"));
    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    ::signal(SIGINT, onSignal);
    ::signal(SIGTERM, onSignal);

    const int status = QCoreApplication::exec();
    // Whatever took the link's place meanwhile is not ours to remove.
    if (QFileInfo(link).isSymLink() && QFile::symLinkTarget(link) == QFile::decodeName(slaveName))
        QFile::remove(link);
    ::close(slave);
    ::close(master);
    return status;
}
