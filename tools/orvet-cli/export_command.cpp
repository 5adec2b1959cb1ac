// orvet-cli export: the export window's preview and apply on a store, with the code the
// window runs.
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "export/dispatch_database.h"
#include "export/export_plan.h"
#include "store/store_error.h"
#include "store_session.h"

namespace orvet::cli {
namespace {

int runExport(const CommandLine& args) {
    StoreArguments store;
    std::optional<int> target;
    if (!store.parse(args) || !args.readNumber(QStringLiteral("target"), &target))
        return 2;
    const QString connectString = args.value(QStringLiteral("connect"));
    if (connectString.isEmpty() || !target) {
        args.refuse(QStringLiteral("укажите --connect СТРОКА и --target ID_USPD"));
        return 2;
    }
    try {
        StoreSession session("export");
        if (!session.open(store))
            return 1;
        DispatchDatabase dispatch;
        dispatch.connectTo(connectString);
        if (!dispatch.locateTarget(*target)) {
            report("export", QStringLiteral("в базе данных диспетчеризации нет УСПД с ID_USPD %1 "
                                            "(или он в горячем резерве)")
                                 .arg(*target));
            return 1;
        }
        buildPreview(session.data(), dispatch, *target);
        const QStringList plan = previewLines(session.data());
        for (const QString& line : plan)
            std::puts(line.toUtf8().constData());
        if (args.isSet(QStringLiteral("preview-only")))
            return 0;
        applyPreview(session.data(), dispatch, *target);
        std::puts(QStringLiteral("Экспорт в БД (ADO) завершен").toUtf8().constData());
        return 0;
    } catch (const StoreError& error) {
        report("export", error.message());
        return 1;
    }
}

const CommandRegistration registration({
    .name = "export",
    .synopsis =
        "--connect ODBC-STRING --target ID_USPD [--store STORE] [--uspd ID] [--preview-only]",
    .summary = "send a USPD's channel list into the dispatch database",
    .description =
        "Builds the export preview of a USPD for the dispatch database's USD row ID_USPD\n"
        "(each channel kind is compressed first, which changes the store), prints it one\n"
        "row a line (action, letter, number, name) and applies it in one transaction\n"
        "unless --preview-only is given. On failure the database's message is printed,\n"
        "Channels stays as it was and the exit status is 1.",
    .options =
        {
            {"connect",
             "ODBC connection string, e.g. DRIVER=SQLite3;Database=/path/dispatch.db or\n"
             "DRIVER={PostgreSQL Unicode};Server=HOST;Port=5432;Database=DB;Uid=U;Pwd=P.",
             "ODBC-STRING"},
            {"target", "ID_USPD of the dispatch database's USD row.", "ID_USPD"},
            {"store", "Configuration store: a file (default ./Config.db) or a postgresql:// URL.",
             "STORE"},
            {"uspd", "id_uspd of the USPD (default the smallest).", "ID"},
            {"preview-only", "Print the plan and write nothing into the dispatch database."},
        },
    .run = runExport,
});

}  // namespace
}  // namespace orvet::cli
