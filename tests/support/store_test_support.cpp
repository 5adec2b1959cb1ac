#include "support/store_test_support.h"

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QSqlRecord>

#include "store/schema.h"
#include "store/store_error.h"
#include "store/store_location.h"

namespace orvet::testing {

QString storeErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const StoreError& error) {
        return error.message();
    }
    ADD_FAILURE() << "no StoreError was thrown";
    return QString();
}

void execSql(Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": "
                                 << query.lastError().text().toStdString();
}

QVariant queryValue(Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql) && query.next()) << sql.toStdString();
    return query.value(0);
}

QStringList queryRows(Connection& connection, const QString& sql, QChar separator) {
    QSqlQuery query(connection.database());
    EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
    QStringList rows;
    while (query.next()) {
        QStringList row;
        // An empty value is empty text whatever the driver types it as (PostgreSQL's
        // typed nulls would read "0").
        for (int i = 0; i < query.record().count(); ++i)
            row << (query.isNull(i) ? QString() : query.value(i).toString());
        rows << row.join(separator);
    }
    return rows;
}

TempStore::TempStore(Kind kind)
    : connection(std::make_unique<Connection>(QStringLiteral("test"), QStringLiteral("QSQLITE"))),
      location_(kind == Kind::File ? dir.filePath(QStringLiteral("Config.db"))
                                   : newStoreLocation(dir.path())) {
    connection->setSchema(&Schema::store());
    openStore(*connection, StoreLocation::parse(location_));
}

}  // namespace orvet::testing
