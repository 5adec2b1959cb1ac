#include "store/store_copy.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QSqlRecord>

#include "store/connection.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "store/store_file.h"
#include "store/store_location.h"
#include "store/store_server.h"

namespace orvet {
namespace {

void copyTable(Connection& source, Connection& target, const TableDef& table) {
    QStringList read;
    QStringList written;
    QStringList marks;
    for (const FieldDef& field : table.fields) {
        read.append(source.identifier(field.name, QSqlDriver::FieldName));
        written.append(target.identifier(field.name, QSqlDriver::FieldName));
        marks.append(QStringLiteral("?"));
    }
    QSqlQuery rows(source.database());
    rows.setForwardOnly(true);
    if (!rows.exec(
            QStringLiteral("SELECT %1 FROM %2")
                .arg(read.join(u','), source.identifier(table.name, QSqlDriver::TableName)))) {
        throw engineError(rows.lastError());
    }
    QSqlQuery insert(target.database());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(target.identifier(table.name, QSqlDriver::TableName),
                                 written.join(u','), marks.join(u',')))) {
        throw engineError(insert.lastError());
    }
    const int key = table.key() ? int(table.key() - table.fields.data()) : -1;
    while (rows.next()) {
        try {
            for (int i = 0; i < int(table.fields.size()); ++i) {
                // Values go through the field's own conversion, as a dataset stores them.
                insert.bindValue(i, table.fields[size_t(i)].accept(rows.value(i)));
            }
            if (!insert.exec())
                throw engineError(insert.lastError());
        } catch (const StoreError& error) {
            const QString row =
                key < 0 ? QString()
                        : QStringLiteral(", запись %1 = %2")
                              .arg(table.fields[size_t(key)].name, rows.value(key).toString());
            throw StoreError(
                QStringLiteral("Таблица %1%2: %3").arg(table.name, row, error.message()));
        }
    }
    if (rows.lastError().isValid())
        throw engineError(rows.lastError());
}

void copyTables(Connection& source, Connection& target) {
    // A server's key sequences follow the copied keys by themselves.
    for (const TableDef& table : Schema::store().tables())
        copyTable(source, target, table);
}

}  // namespace

void copyStore(const StoreLocation& from, const StoreLocation& to) {
    if (!from.isServer() && !QFileInfo(from.path).isFile()) {
        throw StoreError(QStringLiteral("Файл базы конфигурации «%1» не найден").arg(from.shown()));
    }
    if (!to.isServer() && QFileInfo::exists(to.path)) {
        throw StoreError(QStringLiteral("Файл «%1» уже существует: копия базы конфигурации "
                                        "записывается только в новый файл")
                             .arg(to.shown()));
    }
    Connection source(QStringLiteral("copy-from"), QStringLiteral("QSQLITE"));
    source.setSchema(&Schema::store());
    openStore(source, from);
    // One snapshot of the source: rows that others change meanwhile come in whole or not.
    Connection::Transaction snapshot(source);
    if (source.isPostgres()) {
        QSqlQuery isolation(source.database());
        if (!isolation.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")))
            throw engineError(isolation.lastError());
    }
    const auto fill = [&source](Connection& target) { copyTables(source, target); };
    if (to.isServer()) {
        Connection target(QStringLiteral("copy-to"), QStringLiteral("QPSQL"));
        initServerStore(target, to, fill);
    } else {
        createStoreFile(to.path, fill);
    }
    snapshot.commit();
}

}  // namespace orvet
