#include "support/test_stores.h"

#include <QCoreApplication>

#include "store/connection.h"
#include "store/store_error.h"
#include "store/store_location.h"
#include "store/store_server.h"
#include "support/throwaway_postgres.h"

namespace orvet::testing {

bool storesOnServer() {
    return qgetenv("ORVET_TEST_STORE") == "postgresql";
}

QString newStoreLocation(const QString& dir) {
    if (!storesOnServer())
        return dir + QStringLiteral("/Config.db");
    // One server for the test program, stopped when the application object goes.
    static ThrowawayPostgres* server = [] {
        auto* started = new ThrowawayPostgres;
        qAddPostRoutine([] { delete server; });
        return started;
    }();
    static int made = 0;
    const QString name = QStringLiteral("store_%1").arg(++made);
    if (!server->running() || !server->createDatabase(name))
        throw StoreError(server->why());
    QString address = server->storeAddress(name);
    Connection creator(QStringLiteral("test-store"), QStringLiteral("QPSQL"));
    initServerStore(creator, StoreLocation::parse(address));
    return address;
}

void refuseRows(Connection& connection, const QString& name, const QString& event,
                const QString& condition, const QString& message) {
    if (connection.isPostgres()) {
        runStatement(connection, QStringLiteral("CREATE OR REPLACE FUNCTION %1_refusal() RETURNS "
                                                "trigger LANGUAGE plpgsql AS $$ BEGIN RAISE "
                                                "EXCEPTION '%2'; END $$")
                                     .arg(name, message));
        runStatement(
            connection,
            QStringLiteral("CREATE TRIGGER %1 %2 FOR EACH ROW %3 EXECUTE FUNCTION %1_refusal()")
                .arg(name, event,
                     condition.isEmpty() ? QString() : QStringLiteral("WHEN (%1)").arg(condition)));
        return;
    }
    runStatement(
        connection,
        QStringLiteral("CREATE TRIGGER %1 %2 %3 BEGIN SELECT RAISE(ABORT, '%4'); END")
            .arg(name, event,
                 condition.isEmpty() ? QString() : QStringLiteral("WHEN %1").arg(condition),
                 message));
}

void dropRefusal(Connection& connection, const QString& name, const QString& table) {
    runStatement(connection, connection.isPostgres()
                                 ? QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table)
                                 : QStringLiteral("DROP TRIGGER %1").arg(name));
}

}  // namespace orvet::testing
