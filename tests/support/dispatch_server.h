#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "support/throwaway_postgres.h"

namespace orvet::testing {

// Dispatch databases for tests, reached through ODBC as the program reaches them: fresh
// SQLite ODBC files, or fresh databases on a throw-away PostgreSQL server. Each new database
// holds the dispatch system's tables USD and Channels, with the system's own columns and
// defaults (StoreCurrInterval and ID_ValueType default to 1).
class DispatchServer {
public:
    enum Kind { Postgres, Sqlite };

    explicit DispatchServer(Kind kind);
    ~DispatchServer();
    DispatchServer(const DispatchServer&) = delete;
    DispatchServer& operator=(const DispatchServer&) = delete;

    Kind kind() const { return kind_; }
    QString kindName() const;
    // Whether databases can be made; when not, why() says what went wrong.
    bool ready() const;
    const QString& why() const { return why_; }

    // A new database with empty dispatch tables; its ODBC connection string, or an empty
    // string when it could not be made (why() says why).
    QString newDatabase();

private:
    bool run(const QString& connectString, const QStringList& statements);

    Kind kind_;
    QTemporaryDir dir_;
    std::unique_ptr<ThrowawayPostgres> postgres_;
    int made_ = 0;
    QString why_;
};

}  // namespace orvet::testing
