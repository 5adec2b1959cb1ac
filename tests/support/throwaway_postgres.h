#pragma once

#include <QString>
#include <QTemporaryDir>

namespace orvet::testing {

// A PostgreSQL server of a test's own: a cluster made by initdb in a temporary folder, listening
// only on a socket in that folder, with the trusted superuser "orvet". Run as root, the server
// runs as the unprivileged user "nobody" (PostgreSQL refuses root). Stopped and removed when
// destroyed, also when the test failed.
class ThrowawayPostgres {
public:
    ThrowawayPostgres();
    ~ThrowawayPostgres();
    ThrowawayPostgres(const ThrowawayPostgres&) = delete;
    ThrowawayPostgres& operator=(const ThrowawayPostgres&) = delete;

    // Whether the server runs; when not, why() says what went wrong.
    bool running() const { return running_; }
    const QString& why() const { return why_; }

    // The ODBC connection string of database `database` through psqlODBC.
    QString odbcString(const QString& database = QStringLiteral("postgres")) const;
    // The configuration store address (postgresql://…) of database `database`.
    QString storeAddress(const QString& database) const;
    // Creates the empty database `database` (UTF-8); false when the server refused, with
    // why() saying why.
    bool createDatabase(const QString& database);

private:
    bool run(const QString& tool, const QStringList& args);

    QTemporaryDir dir_;
    QString bin_;
    int port_ = 0;
    bool running_ = false;
    QString why_;
};

}  // namespace orvet::testing
