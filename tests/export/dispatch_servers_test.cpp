#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "support/throwaway_postgres.h"

namespace orvet {
namespace {

// The databases the export is tested on answer through Qt's ODBC driver: a throw-away
// PostgreSQL server through psqlODBC, and a file through SQLite ODBC. A name with a quote,
// doubled in the statement, comes back as typed; PostgreSQL pads a fixed-width column.
void roundTrip(const QString& connectString, const QString& expected) {
    const QString name = QStringLiteral("odbc-round-trip");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectString);
        ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery query(db);
        for (const char* statement :
             {"CREATE TABLE Channels (ID_Channel INTEGER, Name CHAR(10))",
              "INSERT INTO Channels (ID_Channel, Name) VALUES (1, 'Ж''x')"}) {
            ASSERT_TRUE(query.exec(QString::fromUtf8(statement)))
                << query.lastError().text().toStdString();
        }
        ASSERT_TRUE(query.exec(QStringLiteral("SELECT Name FROM Channels WHERE ID_Channel = 1")));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString(), expected);
    }
    QSqlDatabase::removeDatabase(name);
}

TEST(DispatchServers, PostgresThroughOdbc) {
    testing::ThrowawayPostgres server;
    ASSERT_TRUE(server.running()) << "PostgreSQL could not start: " << server.why().toStdString();
    roundTrip(server.odbcString(), QStringLiteral("Ж'x       "));
}

TEST(DispatchServers, SqliteFileThroughOdbc) {
    QTemporaryDir dir;
    roundTrip(QStringLiteral("DRIVER=SQLite3;Database=") + dir.filePath(QStringLiteral("d.db")),
              QStringLiteral("Ж'x"));
}

}  // namespace
}  // namespace orvet
