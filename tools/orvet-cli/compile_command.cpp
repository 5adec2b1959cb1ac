// orvet-cli compile: compiles one USPD of a configuration store into its image, with the
// compiler the upload uses (the store is renumbered as it is there).
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <optional>

#include "command.h"
#include "core/qt_clock.h"
#include "core/qt_main_thread.h"
#include "image/compiler.h"
#include "printed_messages.h"
#include "store/data_module.h"
#include "store/store_error.h"

namespace orvet::cli {
namespace {

const char* const kUsage = "usage: orvet-cli compile [--store PATH] [--uspd ID] [--output PATH]\n";

void report(const QString& text) {
    std::fprintf(stderr, "orvet-cli compile: %s\n", text.toUtf8().constData());
}

struct Arguments {
    QString store = TDataModule1::kStoreFile;
    std::optional<qint64> uspd;
    QString output = CompileOptions{}.imagePath;
};

// Reads the options; false (with the reason reported) when they are not usable.
bool parse(const QStringList& args, Arguments* parsed) {
    for (qsizetype at = 0; at < args.size(); at += 2) {
        const QString& option = args[at];
        if (at + 1 >= args.size()) {
            report(QStringLiteral("у параметра %1 нет значения").arg(option));
            return false;
        }
        const QString& value = args[at + 1];
        if (option == QLatin1String("--store")) {
            parsed->store = value;
        } else if (option == QLatin1String("--output")) {
            parsed->output = value;
        } else if (option == QLatin1String("--uspd")) {
            bool ok = false;
            parsed->uspd = value.toLongLong(&ok);
            if (!ok) {
                report(QStringLiteral("'%1' не является номером УСПД (id_uspd)").arg(value));
                return false;
            }
        } else {
            report(QStringLiteral("неизвестный параметр %1").arg(option));
            return false;
        }
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

int runCompile(const QStringList& args) {
    if (args.size() == 1 &&
        (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help"))) {
        std::fputs(kUsage, stdout);
        std::puts(
            "\nCompiles a USPD of the configuration store (default ./Config.db; the USPD\n"
            "with id_uspd ID, default the smallest) into its configuration image (default\n"
            "./config.dat), renumbering the store as writing into the USPD does. Prints\n"
            "one summary line; on failure prints the message, writes no image and exits\n"
            "with 1.");
        return 0;
    }
    Arguments parsed;
    if (!parse(args, &parsed)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
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
            if (!result.reason.isEmpty())
                report(result.reason);
            return 1;
        }
        std::puts(summary(parsed.output, result).toUtf8().constData());
        return 0;
    } catch (const StoreError& error) {
        report(error.message());
        return 1;
    }
}

const CommandRegistration registration(
    {"compile", "[--store PATH] [--uspd ID] [--output PATH]",
     "compile a USPD of the configuration store into its configuration image", runCompile});

}  // namespace
}  // namespace orvet::cli
