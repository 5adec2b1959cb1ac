// orvet-cli: the configurator's headless tool. Each command runs the same code as the
// window; progress goes to stderr and the exit status is 0 only on success.
#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "command.h"

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
    std::fputs("\n  -h, --help   show this help\n", out);
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

}  // namespace orvet::cli

int main(int argc, char* argv[]) {
    using namespace orvet::cli;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(stderr);
        return 2;
    }
    if (args.first() == QLatin1String("-h") || args.first() == QLatin1String("--help")) {
        printUsage(stdout);
        return 0;
    }
    for (const Command& command : commands()) {
        if (args.first() == QLatin1String(command.name))
            return command.run(args.mid(1));
    }
    std::fprintf(stderr, "orvet-cli: unknown command '%s'\n", qPrintable(args.first()));
    printUsage(stderr);
    return 2;
}
