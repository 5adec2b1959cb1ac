// orvet-cli clone-uspd: "Клонировать УСПД" of the USPD selection, on a store.
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "editing/uspd_clone.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

int runClone(const CommandLine& args) {
    StoreArguments store;
    if (!store.parse(args))
        return 2;
    if (!store.uspd) {
        args.refuse(QStringLiteral("укажите --uspd ID клонируемого УСПД"));
        return 2;
    }
    QString name;
    args.readText(QStringLiteral("name"), &name);
    try {
        StoreSession session("clone-uspd");
        if (!session.open(store))
            return 1;
        TDataModule1& data = session.data();
        const int clone = cloneUspd(data.ADOConnection1, int(*store.uspd), name);
        data.tblUSPD.close();
        data.tblUSPD.open();
        data.tblUSPD.locate(u"id_uspd", clone);
        std::puts(QStringLiteral("USPD %1: %2")
                      .arg(clone)
                      .arg(data.tblUSPD.fieldByName(u"uspd_name").asString())
                      .toUtf8()
                      .constData());
        return 0;
    } catch (const StoreError& error) {
        report("clone-uspd", error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "clone-uspd",
    .synopsis = "[--store STORE] --uspd ID [--name TEXT]",
    .summary = "store a copy of a USPD with all its rows",
    .description =
        "Stores a new USPD with a copy of every row of USPD ID (interfaces, modules, channels,\n"
        "flags, archives, callback phones), its references pointing at the copies, as\n"
        "\"Клонировать УСПД\" does. It is named TEXT, or the original's name followed by\n"
        "\" (копия)\". Prints the new id_uspd and name; on failure nothing is stored and the\n"
        "exit status is 1.",
    .options =
        {
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD to clone.", "ID"},
            {"name", "Name of the clone (at most 50 characters).", "TEXT"},
        },
    .run = runClone,
});

}  // namespace
}  // namespace orvet::cli
