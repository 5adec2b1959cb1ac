// orvet-cli compile: compiles one USPD of a configuration store into its image, with the
// compiler the upload uses (the store is renumbered as it is there).
#include <QDir>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "image/compiler.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

void report(const QString& text) {
    cli::report("compile", text);
}

struct Arguments {
    StoreArguments store;
    QString output = CompileOptions{}.imagePath;
};

// Reads the options; false (with the reason reported) when they are not usable.
bool parse(const CommandLine& args, Arguments* parsed) {
    args.readText(QStringLiteral("output"), &parsed->output);
    return parsed->store.parse(args);
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
    try {
        StoreSession session("compile");
        if (!session.open(parsed.store))
            return 1;
        TDataModule1& dm = session.data();
        CompileOptions options;
        options.imagePath = parsed.output;
        CompileProgress progress;
        const CompileResult result = ConfigCompiler(dm).compile(options, progress);
        if (!result.succeeded()) {
            result.showFailure(session.messages());
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
    .synopsis = "[--store STORE] [--uspd ID] [--output PATH]",
    .summary = "compile a USPD of the configuration store into its configuration image",
    .description = "Compiles a USPD of the configuration store into its configuration image,\n"
                   "renumbering the store as writing into the USPD does. Prints one summary line;\n"
                   "on failure prints the message, writes no image and exits with 1.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"output", "Image to write (default ./config.dat).", "PATH"},
        },
    .run = runCompile,
});

}  // namespace
}  // namespace orvet::cli
