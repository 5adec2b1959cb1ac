// orvet-cli compile: compiles one USPD of a configuration store into its image, with the
// compiler the upload uses (the store is renumbered as it is there).
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

#include "command.h"
#include "command_line.h"
#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "core/settings.h"
#include "image/compiler.h"
#include "printed_messages.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet::cli {
namespace {

void report(const QString& text) {
    cli::report("compile", text);
}

struct Arguments {
    QString store = TDataModule1::kStoreFile;
    std::optional<qint64> uspd;
    QString output = CompileOptions{}.imagePath;
};

// Reads the options; false (with the reason reported) when they are not usable.
bool parse(const CommandLine& args, Arguments* parsed) {
    args.readText(QStringLiteral("store"), &parsed->store);
    args.readText(QStringLiteral("output"), &parsed->output);
    if (args.isSet(QStringLiteral("uspd"))) {
        const QString value = args.value(QStringLiteral("uspd"));
        int id = 0;
        if (!parseDecimal(value, &id)) {
            args.refuse(QStringLiteral("'%1' не является номером УСПД (id_uspd)").arg(value));
            return false;
        }
        parsed->uspd = id;
    }
    return true;
}

// Makes the USPD `wanted` (or the one with the smallest id_uspd) current and opens its
// datasets, as opening it in the program does; false when there is no such USPD.
bool openUspd(TDataModule1& dm, std::optional<qint64> wanted) {
    Dataset& uspds = dm.tblUSPD;
    uspds.open();
    if (!wanted) {
        for (uspds.first(); !uspds.eof(); uspds.next()) {
            const qint64 id = uspds.fieldByName(u"ID_USPD").asInteger();
            if (!wanted || id < *wanted)
                wanted = id;
        }
        if (!wanted) {
            report(QStringLiteral("в базе конфигурации нет ни одного УСПД"));
            return false;
        }
    }
    if (!uspds.locate(u"ID_USPD", *wanted)) {
        report(QStringLiteral("в базе конфигурации нет УСПД с id_uspd %1").arg(*wanted));
        return false;
    }
    dm.openDatasets();
    dm.refreshModuleLists();
    return true;
}

QString summary(const QString& path, const CompileResult& result) {
    QStringList counts;
    forEachSection(result.image, [&](const char* name, qint64 count, const auto&) {
        counts.append(QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(count));
    });
    return QStringLiteral("%1: %2 bytes; %3")
        .arg(QDir::toNativeSeparators(path))
        .arg(result.size)
        .arg(counts.join(QStringLiteral(", ")));
}

int runCompile(const CommandLine& args) {
    Arguments parsed;
    if (!parse(args, &parsed))
        return 2;
    // The store is opened as it is; a missing one is not created here.
    if (!QFileInfo(parsed.store).isFile()) {
        report(QStringLiteral("файл базы конфигурации «%1» не найден")
                   .arg(QDir::toNativeSeparators(parsed.store)));
        return 1;
    }
    QtClock clock;
    QtMainThread mainThread;
    PrintedMessages messages(QStringLiteral("orvet-cli compile"));
    Platform platform{clock, mainThread, messages, Settings::forUser()};
    try {
        TDataModule1 dm(platform, parsed.store);
        if (!openUspd(dm, parsed.uspd))
            return 1;
        CompileOptions options;
        options.imagePath = parsed.output;
        CompileProgress progress;
        const CompileResult result = ConfigCompiler(dm).compile(options, progress);
        if (!result.succeeded()) {
            result.showFailure(messages);
            return 1;
        }
        std::puts(summary(parsed.output, result).toUtf8().constData());
        return 0;
    } catch (const StoreError& error) {
        report(error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "compile",
    .synopsis = "[--store PATH] [--uspd ID] [--output PATH]",
    .summary = "compile a USPD of the configuration store into its configuration image",
    .description = "Compiles a USPD of the configuration store into its configuration image,\n"
                   "renumbering the store as writing into the USPD does. Prints one summary line;\n"
                   "on failure prints the message, writes no image and exits with 1.",
    .options =
        {
            {"store", "Configuration store (default ./Config.db).", "PATH"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"output", "Image to write (default ./config.dat).", "PATH"},
        },
    .run = runCompile,
});

}  // namespace
}  // namespace orvet::cli
