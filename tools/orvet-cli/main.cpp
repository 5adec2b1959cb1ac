// orvet-cli: the configurator's headless tool. Each command runs the same code as the
// window; progress goes to stderr and the exit status is 0 only on success.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: orvet-cli COMMAND [OPTIONS]\n"
    "\n"
    "Headless tool of the ORVET-4410 configurator.\n"
    "\n"
    "options:\n"
    "  -h, --help   show this help\n";

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("-h") ||
        args.first() == QLatin1String("--help")) {
        std::fputs(kUsage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    std::fprintf(stderr, "orvet-cli: unknown command '%s'\n%s", qPrintable(args.first()), kUsage);
    return 2;
}
