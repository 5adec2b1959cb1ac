// orvet-cli dump-image: prints every part, record and field of a configuration image.
#include <QFile>
#include <cstdio>

#include "command.h"
#include "image/image.h"
#include "image/image_dump.h"

namespace orvet::cli {
namespace {

void report(const QString& text) {
    std::fprintf(stderr, "orvet-cli dump-image: %s\n", text.toUtf8().constData());
}

int runDumpImage(const QStringList& args) {
    if (args.size() == 1 &&
        (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help"))) {
        std::puts(
            "usage: orvet-cli dump-image FILE\n\n"
            "Prints the header, the archive blocks and every record of a configuration\n"
            "image, one field a line. Warns on bytes a written image never holds; exits\n"
            "with 1 when the file is shorter or longer than its header says.");
        return 0;
    }
    if (args.size() != 1) {
        std::fputs("usage: orvet-cli dump-image FILE\n", stderr);
        return 2;
    }
    QFile file(args[0]);
    if (!file.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("Файл %1 не удается открыть: %2").arg(args[0], file.errorString()));
        return 1;
    }
    // One byte more than any image may have tells an oversized file without reading it all.
    const QByteArray data = file.read(maxImageLength() + 1);
    if (file.error() != QFileDevice::NoError) {
        report(QStringLiteral("Файл %1 не удается прочитать: %2").arg(args[0], file.errorString()));
        return 1;
    }
    if (data.size() > maxImageLength()) {
        report(QStringLiteral("Файл %1 не может быть образом: он длиннее %2 байт")
                   .arg(args[0])
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

const CommandRegistration registration({"dump-image", "FILE",
                                        "print every record and field of a configuration image",
                                        runDumpImage});

}  // namespace
}  // namespace orvet::cli
