// orvet-cli init-store and copy-store: a configuration store on a PostgreSQL server, and a
// whole store moved between a file and a server.
#include <cstdio>

#include "command.h"
#include "command_line.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/store_copy.h"
#include "store/store_error.h"
#include "store/store_location.h"
#include "store/store_server.h"

namespace orvet::cli {
namespace {

int runInit(const CommandLine& args) {
    try {
        const StoreLocation location = StoreLocation::parse(args.arguments().value(0));
        if (!location.isServer()) {
            args.refuse(
                QStringLiteral("init-store создает базу конфигурации на сервере "
                               "PostgreSQL (postgresql://…); файл Config.db программа "
                               "создает сама"));
            return 2;
        }
        Connection connection(QStringLiteral("init-store"), QStringLiteral("QPSQL"));
        connection.setSchema(&Schema::store());
        initServerStore(connection, location);
        std::puts(QStringLiteral("Создана база конфигурации %1")
                      .arg(location.shown())
                      .toUtf8()
                      .constData());
        return 0;
    } catch (const StoreError& error) {
        report("init-store", error.message());
        return 1;
    }
}

int runCopy(const CommandLine& args) {
    try {
        const StoreLocation from = StoreLocation::parse(args.arguments().value(0));
        const StoreLocation to = StoreLocation::parse(args.arguments().value(1));
        copyStore(from, to);
        std::puts(QStringLiteral("База конфигурации %1 скопирована в %2")
                      .arg(from.shown(), to.shown())
                      .toUtf8()
                      .constData());
        return 0;
    } catch (const StoreError& error) {
        report("copy-store", error.message());
        return 1;
    }
}

const CommandRegistration initRegistration({
    .name = "init-store",
    .synopsis = "URL",
    .summary = "create the configuration store's tables on a PostgreSQL server",
    .description =
        "Creates the tables of the configuration store with their reference rows in the empty\n"
        "PostgreSQL database URL (postgresql://USER@HOST:PORT/DATABASE; a socket folder as\n"
        "?host=/FOLDER), in one transaction. A database that holds any table is refused. The\n"
        "password comes from ~/.pgpass or PGPASSWORD and is never part of the URL.",
    .arguments = {{"URL", "The empty PostgreSQL database."}},
    .run = runInit,
});

const CommandRegistration copyRegistration({
    .name = "copy-store",
    .synopsis = "FROM TO",
    .summary = "copy a whole configuration store between a file and a server",
    .description =
        "Copies every row of every table of the store FROM into the new store TO, keys\n"
        "included: each is a Config.db path or a postgresql:// URL. TO must be a file that\n"
        "does not exist yet or an empty PostgreSQL database; on failure nothing is left\n"
        "there and the exit status is 1.",
    .arguments = {{"FROM", "The store to copy."}, {"TO", "The new store."}},
    .run = runCopy,
});

}  // namespace
}  // namespace orvet::cli
