#include "store/store_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <algorithm>
#include <vector>

#include "store/connection.h"
#include "store/schema.h"
#include "store/sql_text.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr auto kNotADatabase = "26";  // SQLITE_NOTADB

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void runScript(Connection& connection, const QString& script) {
    for (const QString& statement : splitStatements(script))
        runStatement(connection, statement);
}

void removeDatabaseFiles(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

}  // namespace

void createStoreFile(const QString& path, const std::function<void(Connection&)>& fill) {
    const auto failure = [&](const QString& reason) {
        return StoreError(QStringLiteral("Не удается создать базу конфигурации «%1»: %2")
                              .arg(shown(path), reason));
    };
    QTemporaryFile temporary(path + QStringLiteral(".XXXXXX"));
    temporary.setAutoRemove(false);
    if (!temporary.open())
        throw failure(temporary.errorString());
    const QString building = temporary.fileName();
    temporary.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadGroup | QFileDevice::ReadOther);
    temporary.close();
    try {
        Connection builder(QStringLiteral("store-create"), QStringLiteral("QSQLITE"));
        builder.setDatabaseName(building);
        builder.open();
        Connection::Transaction transaction(builder);
        runScript(builder, storeSchemaScript());
        if (fill)
            fill(builder);
        else
            runScript(builder, storeReferenceScript());
        transaction.commit();
    } catch (const StoreError& error) {
        removeDatabaseFiles(building);
        throw failure(error.message());
    }
    if (!QFile::rename(building, path)) {
        removeDatabaseFiles(building);
        throw failure(QStringLiteral("файл не удается переименовать"));
    }
}

namespace {

// A column of a store table as SQLite declares it.
struct StoredColumn {
    QString name;
    QString type;  // the declared type, upper case
    bool key = false;
};

std::vector<StoredColumn> columnsOf(Connection& connection, const QString& table) {
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
        throw engineError(query.lastError());
    }
    std::vector<StoredColumn> columns;
    while (query.next()) {
        columns.push_back({query.value(1).toString(), query.value(2).toString().toUpper(),
                           query.value(5).toInt() > 0});
    }
    return columns;
}

// Whether a column declared `type` keeps what the field holds, by SQLite's type affinity:
// a text field needs TEXT affinity (a numeric one turns "0123" into 123); a number field
// needs a numeric one (INTEGER, REAL or NUMERIC), so that it compares as a number.
bool holdsFieldType(const QString& type, FieldType field) {
    const auto has = [&type](const char* part) { return type.contains(QLatin1String(part)); };
    const bool integer = has("INT");
    const bool text = !integer && (has("CHAR") || has("CLOB") || has("TEXT"));
    const bool blob = !integer && !text && (has("BLOB") || type.isEmpty());
    if (field == FieldType::Text)
        return text;
    // A key assigned by the store is the row id, which only a column declared INTEGER is.
    if (field == FieldType::AutoInc)
        return type == QLatin1String("INTEGER");
    return !text && !blob;
}

void checkTables(Connection& connection, const QString& path) {
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        if (query.lastError().nativeErrorCode() == QLatin1String(kNotADatabase)) {
            throw StoreError(
                QStringLiteral("Файл «%1» не является базой данных конфигурации").arg(shown(path)));
        }
        throw StoreError(QStringLiteral("База конфигурации «%1» не открывается: %2")
                             .arg(shown(path), engineError(query.lastError()).message()));
    }
    QStringList tables;
    while (query.next())
        tables.append(query.value(0).toString());
    if (tables.isEmpty()) {
        throw StoreError(
            QStringLiteral("Файл «%1» не является базой конфигурации: в нем нет таблиц")
                .arg(shown(path)));
    }
    for (const TableDef& table : Schema::store().tables()) {
        if (!tables.contains(table.name, Qt::CaseInsensitive)) {
            throw StoreError(QStringLiteral("В базе конфигурации «%1» нет таблицы %2")
                                 .arg(shown(path), table.name));
        }
        const std::vector<StoredColumn> columns = columnsOf(connection, table.name);
        for (const FieldDef& field : table.fields) {
            const auto column = std::find_if(columns.begin(), columns.end(), [&](const auto& c) {
                return c.name.compare(field.name, Qt::CaseInsensitive) == 0;
            });
            if (column == columns.end()) {
                throw StoreError(QStringLiteral("В таблице %1 базы конфигурации «%2» нет поля %3")
                                     .arg(table.name, shown(path), field.name));
            }
            if (field.isKey && !column->key) {
                throw StoreError(QStringLiteral("В таблице %1 базы конфигурации «%2» поле %3 "
                                                "не является ключом")
                                     .arg(table.name, shown(path), field.name));
            }
            if (!holdsFieldType(column->type, field.type)) {
                throw StoreError(QStringLiteral("В таблице %1 базы конфигурации «%2» поле %3 "
                                                "другого типа: %4")
                                     .arg(table.name, shown(path), field.name,
                                          column->type.isEmpty() ? QStringLiteral("без типа")
                                                                 : shownValue(column->type)));
            }
        }
    }
}

void useWriteAheadLog(Connection& connection, const QString& path) {
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next() ||
        query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        throw StoreError(QStringLiteral("База конфигурации «%1» не открывается для записи: %2")
                             .arg(shown(path), engineError(query.lastError()).message()));
    }
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"))) {
        throw engineError(query.lastError());
    }
}

}  // namespace

bool openStoreFile(Connection& connection, const QString& path) {
    connection.close();
    const QFileInfo info(path);
    bool created = false;
    if (!info.exists()) {
        createStoreFile(path);
        created = true;
    } else if (info.isDir()) {
        throw StoreError(
            QStringLiteral("«%1» — папка, а не файл базы конфигурации").arg(shown(path)));
    } else if (!info.isReadable()) {
        throw StoreError(QStringLiteral("Нет доступа на чтение к файлу базы конфигурации «%1»")
                             .arg(shown(path)));
    } else if (!info.isWritable()) {
        throw StoreError(QStringLiteral("Файл базы конфигурации «%1» доступен только для чтения: "
                                        "изменения в нем сохранить нельзя")
                             .arg(shown(path)));
    }
    connection.setDatabaseName(path);
    try {
        try {
            connection.open();
        } catch (const StoreError& error) {
            throw StoreError(QStringLiteral("База конфигурации «%1» не открывается: %2")
                                 .arg(shown(path), error.message()));
        }
        checkTables(connection, path);
        useWriteAheadLog(connection, path);
    } catch (const StoreError&) {
        connection.close();
        throw;
    }
    return created;
}

}  // namespace orvet
