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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("Файл %1 не удается открыть: %2").arg(path, file.errorString()));
        return 1;
    }
    // One byte more than any image may have tells an oversized file without reading it all.
    const QByteArray data = file.read(maxImageLength() + 1);
    if (file.error() != QFileDevice::NoError) {
        report(QStringLiteral("Файл %1 не удается прочитать: %2").arg(path, file.errorString()));
        return 1;
    }
    if (data.size() > maxImageLength()) {
        report(QStringLiteral("Файл %1 не может быть образом: он длиннее %2 байт")
                   .arg(path)
                   .arg(maxImageLength()));
        return 1;
    }
    const DecodedImage decoded = decodeImage(data);
    if (decoded.image) {
        std::fputs(dumpImage(*decoded.image).toUtf8().constData(), stdout);
    }
    for (const QString& warning : decoded.warnings) {
        report(QStringLiteral("внимание: ") + warning);
    }
    if (!decoded.error.isEmpty()) {
        report(decoded.error);
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
