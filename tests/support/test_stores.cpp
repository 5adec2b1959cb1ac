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
    const QString address = server->storeAddress(name);
    Connection creator(QStringLiteral("test-store"), QStringLiteral("QPSQL"));
    initServerStore(creator, StoreLocation::parse(address));
    return address;
}

}  // namespace orvet::testing
