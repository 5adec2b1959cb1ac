// orvet-cli upload: sends an image to a USPD over a serial device with the exchange the
// program uses; the questions of the program are answered by flags.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include "command.h"
#include "command_line.h"
#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "core/texts.h"
#include "image/image.h"
#include "link/upload_session.h"
#include "printed_messages.h"
#include "serial/posix_line.h"
#include "sim/simulated_ports.h"

namespace orvet::cli {
namespace {

void report(const QString& text) {
    cli::report("upload", text);
}

struct Arguments {
    QString port;
    int baud = 9600;
    QString device = QStringLiteral("1");
    QString file = QStringLiteral("config.dat");
    QString trace;  // the frame log's file; empty: none
    std::optional<int> pakLen;
    std::optional<int> answerTimeout;
    bool restart = false;
    bool clearArchives = false;
    bool acceptFirmware = false;
    bool fast = false;
    int maxRepeats = 10;
};

// Without a time-out a lost reply would never be repeated and the command would not end.
constexpr int kMinAnswerTimeout = 1;
constexpr int kMaxAnswerTimeout = 600'000;

bool answerTimeoutFits(int ms) {
    return ms >= kMinAnswerTimeout && ms <= kMaxAnswerTimeout;
}

bool parse(const CommandLine& args, Arguments* parsed) {
    args.readText(QStringLiteral("port"), &parsed->port);
    args.readText(QStringLiteral("file"), &parsed->file);
    args.readText(QStringLiteral("trace"), &parsed->trace);
    // The device number is checked by the exchange, as the dialog's text is.
    args.readText(QStringLiteral("device"), &parsed->device);
    if (!args.readNumber(QStringLiteral("baud"), &parsed->baud) ||
        !args.readNumber(QStringLiteral("paklen"), &parsed->pakLen) ||
        !args.readNumber(QStringLiteral("answer-timeout"), &parsed->answerTimeout) ||
        !args.readNumber(QStringLiteral("max-repeats"), &parsed->maxRepeats))
        return false;
    parsed->restart = args.isSet(QStringLiteral("restart"));
    parsed->clearArchives = args.isSet(QStringLiteral("clear-archives"));
    parsed->acceptFirmware = args.isSet(QStringLiteral("accept-firmware"));
    parsed->fast = args.isSet(QStringLiteral("fast"));
    if (parsed->port.isEmpty()) {
        args.refuse(QStringLiteral("не указано устройство порта (--port PATH)"));
        return false;
    }
    if (parsed->answerTimeout && !answerTimeoutFits(*parsed->answerTimeout)) {
        args.refuse(QStringLiteral("таймаут ответа %1 мс вне пределов %2..%3 (--answer-timeout)")
                        .arg(*parsed->answerTimeout)
                        .arg(kMinAnswerTimeout)
                        .arg(kMaxAnswerTimeout));
        return false;
    }
    if (parsed->maxRepeats < 0) {
        args.refuse(
            QStringLiteral("число повторов %1 меньше 0 (--max-repeats)").arg(parsed->maxRepeats));
        return false;
    }
    return true;
}

// Progress of the transfer on stderr.
class PrintedProgress final : public UploadView {
public:
    bool isVisible() const override { return !ended_; }
    void setBlockCount(int count) override {
        count_ = count;
        done_ = 0;
        report(QStringLiteral("%1 блоков").arg(count));
    }
    void stepBlock() override {
        ++done_;
        report(QStringLiteral("блок %1 из %2").arg(done_).arg(count_));
    }
    void lightTxd() override {}
    void dimTxd() override {}
    void lightRxd() override {}
    void dimRxd() override {}
    void transferEnded() override {
        ended_ = true;
        report(QStringLiteral("конфигурация передана"));
    }
    void hideProgress() override { ended_ = true; }
    void showWaiting(const QString& text) override {
        if (text != waiting_)
            report(text);
        waiting_ = text;
    }
    void showProblem(const QString& text) override {
        if (!text.isEmpty())
            report(text);
    }

private:
    int count_ = 0;
    int done_ = 0;
    bool ended_ = false;
    QString waiting_;
};

// The frame log written to a file, a line at a time, so that an interrupted run leaves what
// happened until then.
class FileTrace final : public FrameTrace {
public:
    explicit FileTrace(QFile& file) : file_(file) {}

    void exchangeStarted() override {}
    void record(const TraceEntry& entry) override {
        file_.write((formatTraceLine(entry) + QLatin1Char('\n')).toUtf8());
        file_.flush();
    }

private:
    QFile& file_;
};

// The upload's choices, answered from the flags and printed with the question.
class FlagDecisions final : public UploadDecisions {
public:
    FlagDecisions(const PrintedMessages& out, const Arguments& arguments)
        : out_(out), arguments_(arguments) {}

    bool acceptFirmware(int major, int minor) override {
        return answer(texts::unsupportedFirmware(major, minor), texts::kAttention,
                      arguments_.acceptFirmware);
    }
    bool restartDevice() override {
        return answer(texts::kAskRestart, texts::kConfirm, arguments_.restart);
    }
    bool clearArchives() override {
        return answer(texts::kAskClearArchives, texts::kConfirm, arguments_.clearArchives);
    }

private:
    bool answer(const QString& question, const QString& caption, bool yes) const {
        out_.printAnswer(question, caption, yes);
        return yes;
    }

    const PrintedMessages& out_;
    const Arguments& arguments_;
};

int run(const CommandLine& args) {
    Arguments arguments;
    if (!parse(args, &arguments))
        return 2;
    // Opening a FIFO or a device would wait for a writer, or read without end.
    if (const QString reason = notARegularFile(arguments.file); !reason.isEmpty()) {
        report(QStringLiteral("Файл не удается открыть: ") + reason);
        return 1;
    }

    QFile traceFile(arguments.trace);
    if (!arguments.trace.isEmpty()) {
        // The log is written over what is there: never over the image it would trace, nor
        // into a device or FIFO (the serial line itself, say).
        QString reason = notARegularFile(arguments.trace);
        if (reason.isEmpty() && QFileInfo::exists(arguments.trace) &&
            QFileInfo(arguments.trace) == QFileInfo(arguments.file))
            reason = QStringLiteral("это файл конфигурации, который передаётся");
        if (reason.isEmpty() &&
            !traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            reason = traceFile.errorString();
        if (!reason.isEmpty()) {
            report(QStringLiteral("Файл журнала %1 не удается открыть: %2")
                       .arg(arguments.trace, reason));
            return 1;
        }
    }
    FileTrace trace(traceFile);

    QtClock clock;
    QtMainThread mainThread;
    PrintedMessages messages(QStringLiteral("orvet-cli upload"));
    Platform platform{clock, mainThread, messages, Settings::forUser()};

    LinkSettings link = LinkSettings::load(platform.settings);
    if (arguments.pakLen)
        link.PakLen = *arguments.pakLen;
    if (arguments.answerTimeout)
        link.TOAnswer = *arguments.answerTimeout;
    if (arguments.fast)
        link.FastExchange = true;
    if (!answerTimeoutFits(link.TOAnswer)) {
        report(QStringLiteral("сохранённый таймаут ответа %1 мс вне пределов %2..%3: укажите "
                              "--answer-timeout")
                   .arg(link.TOAnswer)
                   .arg(kMinAnswerTimeout)
                   .arg(kMaxAnswerTimeout));
        return 2;
    }

    const QString path = arguments.port;
    // "--port sim" rehearses the upload with the training USPD.
    sim::SimulatedPorts training(clock, sim::SimulatedPorts::defaultImageFolder());
    TCommPort port(platform, training.opener(&PosixLine::open));
    port.SetDevicePath(path);
    port.SetBaud(arguments.baud);
    if (port.Baud() != arguments.baud) {
        report(QStringLiteral("скорость %1 бит/с не поддерживается").arg(arguments.baud));
        return 2;
    }
    PrintedProgress progress;
    FlagDecisions decisions(messages, arguments);
    UploadSession session(platform, port, link, progress, decisions);
    UploadExchange& exchange = session.exchange();
    exchange.setDeviceNumberSource([&arguments] { return arguments.device; });
    exchange.setImagePath(arguments.file);
    exchange.setMaxRepeats(arguments.maxRepeats);
    if (traceFile.isOpen())
        exchange.setFrameTrace(&trace);

    int status = 1;
    exchange.setOnFinished([&](UploadExchange::Outcome outcome) {
        using O = UploadExchange::Outcome;
        status =
            (outcome == O::Restarted || (outcome == O::Delivered && !arguments.restart)) ? 0 : 1;
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });
    // A stalled exchange waits for the user's "Отмена", which here is nobody's to give.
    exchange.setOnStalled([] {
        report(QStringLiteral("передача остановлена"));
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });

    report(QStringLiteral("%1, %2 бит/с, устройство %3")
               .arg(path)
               .arg(arguments.baud)
               .arg(arguments.device));
    // The device path is the port: its number plays no part.
    if (!session.open(LineChoice::direct(1, arguments.baud)))
        return 1;
    QCoreApplication::exec();
    port.SetOpen(false);
    // The training USPD's line runs on this thread: what the port sent last (the 'W' of an
    // upload whose restart was declined) reaches the device, which then keeps the image,
    // only while this thread's events go on.
    const QDeadlineTimer settling(2000);
    while (!training.delivered() && !settling.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return status;
}

const CommandRegistration registration({
    .name = "upload",
    .synopsis = "--port PATH [--baud BPS] [--device N] [--file PATH] [--paklen N] "
                "[--answer-timeout MS] [--fast] [--restart] [--clear-archives] "
                "[--accept-firmware] [--max-repeats N] [--trace FILE]",
    .summary = "send an image to a USPD over a serial device (exit 0 once delivered, and "
               "restarted with --restart)",
    .description = "Sends a configuration image to a USPD over a serial device with the exchange\n"
                   "the program uses; progress goes to stderr. The program's questions are\n"
                   "answered \"no\" unless --restart, --clear-archives or --accept-firmware says\n"
                   "otherwise. Exits with 0 once the image is delivered and, with --restart, the\n"
                   "USPD restarted.",
    .options =
        {
            {"port", "Serial device of the USPD (required); \"sim\" for the training USPD.",
             "PATH"},
            {"baud", "Line speed, bit/s (default 9600).", "BPS"},
            {"device", "Device number of the USPD (default 1).", "N"},
            {"file", "Image to send (default ./config.dat).", "PATH"},
            {"paklen", "Image bytes per block (default from the settings).", "N"},
            {"answer-timeout", "Reply time-out, ms, 1 to 600000 (default from the settings).",
             "MS"},
            {"fast",
             "Take a reply as soon as it is whole and its CRC checks, instead of after the "
             "full 100 ms window; any other reply still waits the window out (default from "
             "the settings)."},
            {"restart", "Answer \"yes\" to restarting the USPD."},
            {"clear-archives", "Answer \"yes\" to clearing all archives."},
            {"accept-firmware", "Answer \"yes\" to going on with an unsupported firmware."},
            {"max-repeats",
             "Repeats of one frame (no reply, a bad or foreign reply, a refused 'S', a wrong "
             "acknowledgement) before giving up (default 10).",
             "N"},
            {"trace",
             "Write every frame sent and received, with the time since the start, its "
             "direction, letter, length, bytes and what the check found, one line each, into "
             "FILE (UTF-8 text).",
             "FILE"},
        },
    .run = &run,
});

}  // namespace
}  // namespace orvet::cli
