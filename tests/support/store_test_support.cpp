#include "support/store_test_support.h"

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QSqlRecord>

#include "store/schema.h"
#include "store/store_error.h"
#include "store/store_file.h"

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
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i).toString();
        rows << row.join(separator);
    }
    return rows;
}

TempStore::TempStore()
    : connection(std::make_unique<Connection>(QStringLiteral("test"), QStringLiteral("QSQLITE"))) {
    connection->setSchema(&Schema::store());
    openStoreFile(*connection, path());
}

}  // namespace orvet::testing
