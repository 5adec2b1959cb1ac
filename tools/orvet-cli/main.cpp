// orvet-cli: the configurator's headless tool. Each command runs the same code as the
// window; progress goes to stderr and the exit status is 0 only on success.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "command.h"
#include "command_line.h"

namespace orvet::cli {
namespace {

QList<Command>& registry() {
    static QList<Command> list;
    return list;
}

void printUsage(FILE* out) {
    std::fputs(
        "usage: orvet-cli COMMAND [OPTIONS]\n\n"
        "Headless tool of the ORVET-4410 configurator.\n\ncommands:\n",
        out);
    for (const Command& command : commands()) {
        std::fprintf(out, "  %s %s\n      %s\n", command.name, command.synopsis, command.summary);
    }
    std::fputs(
        "\n  -h, --help           show this help"
        "\n  COMMAND -h, --help   show the options of COMMAND\n",
        out);
}

}  // namespace

const QList<Command>& commands() {
    return registry();
}

CommandRegistration::CommandRegistration(const Command& command) {
    auto& list = registry();
    list.append(command);
    std::sort(list.begin(), list.end(),
              [](const Command& a, const Command& b) { return qstrcmp(a.name, b.name) < 0; });
}

void report(const char* command, const QString& text) {
    std::fprintf(stderr, "orvet-cli %s: %s\n", command, text.toUtf8().constData());
}

}  // namespace orvet::cli

int main(int argc, char* argv[]) {
    using namespace orvet::cli;
    // The report's documents take their fonts from a GUI application; that command alone
    // gets one, on the offscreen platform unless the caller chose another, so the tool needs
    // no display.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && qstrcmp(argv[1], "report") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCommandLineParser parser;
    // Everything from the command's name on belongs to the command.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOption(helpOption());
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "orvet-cli: %s\n", parser.errorText().toUtf8().constData());
        printUsage(stderr);
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printUsage(stdout);
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        printUsage(stderr);
        return 2;
    }
    for (const Command& command : commands()) {
        if (args.first() == QLatin1String(command.name)) {
            CommandLine line(command);
            if (const std::optional<int> status = line.parse(args.mid(1)))
                return *status;
            return command.run(line);
        }
    }
    std::fprintf(stderr, "orvet-cli: unknown command '%s'\n", args.first().toUtf8().constData());
    printUsage(stderr);
    return 2;
}
