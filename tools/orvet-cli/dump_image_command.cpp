// orvet-cli dump-image: prints every part, record and field of a configuration image.
#include <QFile>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "image/image.h"
#include "image/image_dump.h"

namespace orvet::cli {
namespace {

void report(const QString& text) {
    cli::report("dump-image", text);
}

int runDumpImage(const CommandLine& args) {
    const QString path = args.arguments().first();
    // Opening a FIFO or a device would wait for a writer, or read without end.
    if (const QString reason = notARegularFile(path); !reason.isEmpty()) {
        report(QStringLiteral("Файл %1 не удается открыть: %2").arg(path, reason));
        return 1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("Файл %1 не удается открыть: %2").arg(path, file.errorString()));
        return 1;
    }
    const qint64 size = file.size();
    if (size > maxImageLength()) {
        report(QStringLiteral("Файл %1 не может быть образом: он длиннее %2 байт")
                   .arg(path)
                   .arg(maxImageLength()));
        return 1;
    }
    // Printed record by record: the dump of the largest image is hundreds of megabytes.
    const QString error = dumpImage(
        file, size, [](const QString& line) { std::fputs(line.toUtf8().constData(), stdout); },
        [](const QString& warning) { report(QStringLiteral("внимание: ") + warning); });
    if (!error.isEmpty()) {
        report(error);
        return 1;
    }
    return 0;
}

const CommandRegistration registration({
    .name = "dump-image",
    .synopsis = "FILE",
    .summary = "print every record and field of a configuration image",
    .description = "Prints the header, the archive blocks and every record of a configuration\n"
                   "image, one field a line. Warns on bytes a written image never holds; exits\n"
                   "with 1 when the file is shorter or longer than its header says.",
    .arguments = {{"FILE", "Configuration image to print."}},
    .run = runDumpImage,
});

}  // namespace
}  // namespace orvet::cli
