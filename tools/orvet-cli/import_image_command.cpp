// orvet-cli import-image: "Открыть файл конфигурации…" of the main window, on a store.
#include <QDir>
#include <QFile>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "editing/image_import.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

int runImport(const CommandLine& args) {
    QString storePath = TDataModule1::kStoreFile;
    args.readText(QStringLiteral("store"), &storePath);
    const QString path = args.arguments().value(0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        report("import-image", QStringLiteral("файл «%1» не прочитан: %2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    try {
        StoreSession session("import-image");
        if (!session.openStore(storePath))
            return 1;
        const ImportedImage imported = importImage(session.data(), bytes, importedUspdName(path));
        for (const QString& warning : imported.warnings)
            report("import-image", QStringLiteral("warning: ") + warning);
        std::puts(QStringLiteral("USPD %1: %2")
                      .arg(imported.uspd)
                      .arg(session.data().tblUSPD.fieldByName(u"uspd_name").asString())
                      .toUtf8()
                      .constData());
        return 0;
    } catch (const StoreError& error) {
        report("import-image",
               QDir::toNativeSeparators(path) + QStringLiteral(": ") + error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "import-image",
    .synopsis = "[--store STORE] FILE",
    .summary = "store a configuration image as a new USPD",
    .description =
        "Reads the configuration image FILE (a config.dat) back into a new USPD named after\n"
        "the file, as \"Открыть файл конфигурации…\" does: compiling it gives the same bytes;\n"
        "module names, channel names and units are made as the editors make them. Works on\n"
        "a store without any USPD. Prints the new id_uspd and name; a file that is not an\n"
        "image is refused with the reason, nothing is stored and the exit status is 1.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
        },
    .arguments = {{"FILE", "Configuration image to import."}},
    .run = runImport,
});

}  // namespace
}  // namespace orvet::cli
