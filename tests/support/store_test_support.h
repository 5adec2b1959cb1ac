#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "store/connection.h"
#include "support/test_files.h"
#include "support/test_stores.h"

namespace orvet::testing {

// The text of the StoreError that `action` throws; fails the test when it throws nothing.
QString storeErrorOf(const std::function<void()>& action);

// Runs `sql` on `connection` and fails the test if the engine refuses it.
void execSql(Connection& connection, const QString& sql);
// The first column of the first row of `sql`.
QVariant queryValue(Connection& connection, const QString& sql);
// Every row of `sql`, its columns as texts joined by `separator`.
QStringList queryRows(Connection& connection, const QString& sql, QChar separator);

// A configuration store freshly created for a test (a file in a temporary folder, or a
// server database as newStoreLocation() makes), open on its own connection.
struct TempStore {
    enum class Kind { AsConfigured, File };
    explicit TempStore(Kind kind = Kind::AsConfigured);
    // The store as the data module and --store take it.
    const QString& path() const { return location_; }

    QTemporaryDir dir;
    std::unique_ptr<Connection> connection;

private:
    QString location_;
};

}  // namespace orvet::testing
