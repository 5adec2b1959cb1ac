#pragma once

#include <QString>

namespace orvet {
class Connection;
}

namespace orvet::testing {

// Whether the tests' stores are made on a PostgreSQL server: ORVET_TEST_STORE=postgresql in
// the environment (ctest runs the store, compiler, editing and export suites a second time
// so).
bool storesOnServer();

// A new configuration store for a test, as the data module and --store take it: the path of
// a file in `dir` that does not exist yet (the data module creates it), or, when
// storesOnServer(), the address of a new database with the store's tables on a throw-away
// server that the test program starts once. Throws StoreError when the server cannot give
// one.
QString newStoreLocation(const QString& dir);

// Makes the engine refuse the rows of `event` ("before insert on SpecDevice", "before update
// of type_num on SpecKBHA") for which `condition` holds (every row when empty; the row is
// NEW or OLD) with the text `message`: a trigger named `name` in the engine's own dialect.
// `name` is dropped with dropRefusal(). Both throw StoreError when the engine refuses.
void refuseRows(Connection& connection, const QString& name, const QString& event,
                const QString& condition = {}, const QString& message = QStringLiteral("refused"));
void dropRefusal(Connection& connection, const QString& name, const QString& table);

}  // namespace orvet::testing
