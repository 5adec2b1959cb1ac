// orvet-cli fill-channels and copy-module: the module editor's bulk commands on a store, with
// the code the window runs.
#include <algorithm>
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "editing/channel_fill.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

// Reads --module; false (with the reason reported) when it is not a number.
bool readModule(const CommandLine& args, std::optional<int>* module) {
    return args.readNumber(QStringLiteral("module"), module);
}

// Makes the module `id` of the open USPD current; false (reported) when it has none such.
bool locateModule(const char* command, TDataModule1& data, int id) {
    if (data.tblSpecDevice.locate(u"id_device", id))
        return true;
    report(command, QStringLiteral("у УСПД нет модуля с id_device %1").arg(id));
    return false;
}

void print(const QString& line) {
    std::puts(line.toUtf8().constData());
}

int runFill(const CommandLine& args) {
    StoreArguments store;
    std::optional<int> module;
    if (!store.parse(args) || !readModule(args, &module))
        return 2;
    const bool all = args.isSet(QStringLiteral("all"));
    if (all == module.has_value()) {
        args.refuse(QStringLiteral("укажите либо --module ID, либо --all"));
        return 2;
    }
    try {
        StoreSession session("fill-channels");
        if (!session.open(store) ||
            (module && !locateModule("fill-channels", session.data(), *module)))
            return 1;
        BulkProgress progress;
        const FillResult result = all ? fillAllModules(session.data(), progress)
                                      : fillModuleChannels(session.data(), progress);
        print(QStringLiteral("created %1 channels: %2")
                  .arg(result.created.size())
                  .arg(result.created.join(u' ')));
        print(result.report);
        return 0;
    } catch (const StoreError& error) {
        report("fill-channels", error.message());
        return 1;
    }
}

int runCopy(const CommandLine& args) {
    StoreArguments store;
    std::optional<int> module;
    std::optional<int> count;
    if (!store.parse(args) || !readModule(args, &module) ||
        !args.readNumber(QStringLiteral("count"), &count))
        return 2;
    if (!module || !count) {
        args.refuse(QStringLiteral("укажите --module ID и --count N"));
        return 2;
    }
    if (std::find(std::begin(kCopyCounts), std::end(kCopyCounts), *count) ==
        std::end(kCopyCounts)) {
        args.refuse(QStringLiteral("число копий %1 не предусмотрено: допустимы 1, 5, 10, 50 и 100")
                        .arg(*count));
        return 2;
    }
    try {
        StoreSession session("copy-module");
        if (!session.open(store) || !locateModule("copy-module", session.data(), *module))
            return 1;
        TDataModule1& data = session.data();
        BulkProgress progress;
        const QList<int> copies = copyModule(data, *count, progress);
        Dataset& modules = data.tblSpecDevice;
        for (int copy : copies) {
            modules.locate(u"id_device", copy);
            print(QStringLiteral("module %1: %2, n_on_iface %3")
                      .arg(copy)
                      .arg(modules.fieldByName(u"fullname").asString())
                      .arg(modules.fieldByName(u"n_on_iface").asInteger()));
        }
        return 0;
    } catch (const StoreError& error) {
        report("copy-module", error.message());
        return 1;
    }
}

const CommandRegistration fillRegistration({
    .name = "fill-channels",
    .synopsis = "[--store STORE] [--uspd ID] (--module ID | --all)",
    .summary = "create every channel of a module, or of all modules, from their templates",
    .description =
        "Creates every channel of one module (or of every module whose type is not 0) as\n"
        "\"Добавить все каналы УСО\" does: the channel editors' values and numbering, names\n"
        "and units from the module type's templates. Prints the new channels' numbers and\n"
        "the report; on failure nothing is stored and the exit status is 1.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"module", "id_device of the module to fill.", "ID"},
            {"all", "Fill every module of the USPD."},
        },
    .run = runFill,
});

const CommandRegistration copyRegistration({
    .name = "copy-module",
    .synopsis = "[--store STORE] [--uspd ID] --module ID --count N",
    .summary = "append copies of a module, numbered on along its interface",
    .description =
        "Appends N copies (1, 5, 10, 50 or 100) of a module as \"Копировать\" does: its\n"
        "settings as they are, the number on the interface + 1, + 2, ...; no channels.\n"
        "Prints one line per copy; on failure nothing is stored and the exit status is 1.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"module", "id_device of the module to copy.", "ID"},
            {"count", "Number of copies: 1, 5, 10, 50 or 100.", "N"},
        },
    .run = runCopy,
});

}  // namespace
}  // namespace orvet::cli
