#include "store/store_server.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>

#include "store/connection.h"
#include "store/schema.h"
#include "store/store_error.h"
#include "store/store_location.h"

namespace orvet {
namespace {

// A column of a server table as the catalogue describes it.
struct ServerColumn {
    QString type;  // information_schema's data_type
    int length = 0;
    bool generated = false;  // an identity column or one with a sequence default
};
using ServerTables = QHash<QString, QHash<QString, ServerColumn>>;

void connectTo(Connection& connection, const StoreLocation& location) {
    connection.setDriver(QStringLiteral("QPSQL"));
    connection.setServer(location.host, location.port, location.user);
    connection.setDatabaseName(location.database);
    // A server that does not answer must not hold the program up for minutes.
    connection.database().setConnectOptions(
        QStringLiteral("connect_timeout=10;application_name=orvet-configurator"));
    try {
        connection.open();
    } catch (const StoreError& error) {
        connection.close();
        throw StoreError(QStringLiteral("База конфигурации «%1» не открывается: %2")
                             .arg(location.shown(), error.message()));
    }
}

ServerTables tablesOf(Connection& connection) {
    QSqlQuery query = runQuery(
        connection,
        QStringLiteral("SELECT table_name, column_name, data_type, character_maximum_length, "
                       "is_identity = 'YES' OR column_default LIKE 'nextval(%' "
                       "FROM information_schema.columns WHERE table_schema = current_schema()"));
    ServerTables tables;
    while (query.next()) {
        tables[query.value(0).toString().toLower()][query.value(1).toString().toLower()] = {
            query.value(2).toString(), query.value(3).toInt(), query.value(4).toBool()};
    }
    return tables;
}

// Whether a server column keeps every value the field accepts, as the field reads it back.
bool holdsField(const ServerColumn& column, const FieldDef& field) {
    const auto is = [&column](const char* type) { return column.type == QLatin1String(type); };
    switch (field.type) {
        case FieldType::Text:
            return (is("character varying") || is("text") || is("character")) &&
                   (column.length == 0 || field.size == 0 || column.length >= field.size);
        case FieldType::Float:
            return is("double precision");
        case FieldType::AutoInc:
            return (is("integer") || is("bigint")) && column.generated;
        case FieldType::Word:
        case FieldType::Integer:
            return is("integer") || is("bigint");
        case FieldType::Smallint:
            return is("smallint") || is("integer") || is("bigint");
        case FieldType::Other:
            return true;
    }
    return false;
}

void checkTables(Connection& connection, const StoreLocation& location) {
    const ServerTables tables = tablesOf(connection);
    const auto missing = [&](const QString& what) {
        return StoreError(QStringLiteral("В базе конфигурации «%1» нет %2. Таблицы базы "
                                         "конфигурации создает команда «orvet-cli init-store»")
                              .arg(location.shown(), what));
    };
    bool none = true;
    for (const TableDef& table : Schema::store().tables())
        none = none && !tables.contains(table.name.toLower());
    if (none)
        throw missing(QStringLiteral("таблиц конфигурации"));
    for (const TableDef& table : Schema::store().tables()) {
        const auto columns = tables.constFind(table.name.toLower());
        if (columns == tables.cend())
            throw missing(QStringLiteral("таблицы %1").arg(table.name));
        for (const FieldDef& field : table.fields) {
            const auto column = columns->constFind(field.name.toLower());
            if (column == columns->cend()) {
                throw StoreError(QStringLiteral("В таблице %1 базы конфигурации «%2» нет поля %3")
                                     .arg(table.name, location.shown(), field.name));
            }
            if (!holdsField(*column, field)) {
                throw StoreError(QStringLiteral("В таблице %1 базы конфигурации «%2» поле %3 "
                                                "другого типа: %4")
                                     .arg(table.name, location.shown(), field.name, column->type));
            }
        }
    }
}

QString naturalRangeCheck(const FieldDef& field, qint64 low, qint64 high) {
    if (field.minimum <= low && field.maximum >= high)
        return {};
    return QStringLiteral(" CHECK (%1 BETWEEN %2 AND %3)")
        .arg(field.name.toLower())
        .arg(field.minimum)
        .arg(field.maximum);
}

QString columnDefinition(const FieldDef& field) {
    QString type;
    QString check;
    switch (field.type) {
        case FieldType::AutoInc:
            return field.name.toLower() + QStringLiteral(
                                              " INTEGER GENERATED BY DEFAULT AS IDENTITY "
                                              "PRIMARY KEY");
        case FieldType::Word:
            type = QStringLiteral("INTEGER");
            check = naturalRangeCheck(field, INT32_MIN, INT32_MAX);
            break;
        case FieldType::Smallint:
            type = QStringLiteral("SMALLINT");
            check = naturalRangeCheck(field, INT16_MIN, INT16_MAX);
            break;
        case FieldType::Integer:
        case FieldType::Other:
            type = QStringLiteral("INTEGER");
            check = naturalRangeCheck(field, INT32_MIN, INT32_MAX);
            break;
        case FieldType::Float:
            type = QStringLiteral("DOUBLE PRECISION");
            break;
        case FieldType::Text:
            type = field.size > 0 ? QStringLiteral("VARCHAR(%1)").arg(field.size)
                                  : QStringLiteral("TEXT");
            break;
    }
    return field.name.toLower() + u' ' + type + check +
           (field.isKey ? QStringLiteral(" PRIMARY KEY") : QString());
}

// The first number of the server's two-number advisory lock keys, one per purpose.
constexpr int kOpenUspdLock = 4410;
constexpr int kRenumberLock = 4411;

bool lockQuery(Connection& connection, const QString& sql, int uspd) {
    QSqlQuery query = runQuery(connection, sql, {uspd});
    return query.next() && query.value(0).toBool();
}

}  // namespace

void holdUspdOpen(Connection& connection, int previous, int current) {
    if (previous >= 0) {
        lockQuery(connection,
                  QStringLiteral("SELECT pg_advisory_unlock_shared(%1, ?)").arg(kOpenUspdLock),
                  previous);
    }
    lockQuery(connection,
              QStringLiteral("SELECT pg_advisory_lock_shared(%1, ?)").arg(kOpenUspdLock), current);
}

bool lockUspdForDeletion(Connection& connection, int uspd) {
    // A session's own shared lock does not stand in its way.
    return lockQuery(connection,
                     QStringLiteral("SELECT pg_try_advisory_xact_lock(%1, ?)").arg(kOpenUspdLock),
                     uspd);
}

void lockUspdForRenumbering(Connection& connection, int uspd) {
    runStatement(connection, QStringLiteral("SET LOCAL lock_timeout = '30s'"));
    try {
        runQuery(connection,
                 QStringLiteral("SELECT pg_advisory_xact_lock(%1, ?)").arg(kRenumberLock), {uspd});
    } catch (const StoreError& error) {
        throw StoreError(QStringLiteral("УСПД перенумеровывает другой пользователь; ожидание "
                                        "прервано: %1. Повторите позже.")
                             .arg(error.message()));
    }
}

QStringList serverSchemaStatements(const Schema& schema, const QString& script) {
    QStringList statements;
    for (const TableDef& table : schema.tables()) {
        QStringList columns;
        for (const FieldDef& field : table.fields)
            columns.append(columnDefinition(field));
        statements.append(QStringLiteral("CREATE TABLE %1 (%2)")
                              .arg(table.name.toLower(), columns.join(QStringLiteral(", "))));
    }
    // A row stored with a key of its own (copied from another store, or written by hand)
    // moves the key's sequence past it, so that the keys the server assigns go on ascending
    // and never meet a stored one, as in the store file.
    for (const TableDef& table : schema.tables()) {
        const FieldDef* key = table.key();
        if (!key || key->type != FieldType::AutoInc)
            continue;
        const QString name = table.name.toLower();
        const QString column = key->name.toLower();
        statements.append(
            QStringLiteral(
                "CREATE FUNCTION %1_key_follows() RETURNS trigger LANGUAGE plpgsql AS "
                "$$ BEGIN IF NEW.%2 >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE "
                "last_value END FROM %1_%2_seq) THEN PERFORM setval('%1_%2_seq', "
                "NEW.%2); END IF; RETURN NEW; END $$")
                .arg(name, column));
        statements.append(QStringLiteral("CREATE TRIGGER %1_key_follows BEFORE INSERT ON %1 FOR "
                                         "EACH ROW EXECUTE FUNCTION %1_key_follows()")
                              .arg(name));
    }
    // The indexes are written alike for both engines.
    static const QRegularExpression index(QStringLiteral(R"(^CREATE\s+(UNIQUE\s+)?INDEX\b)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QString& statement : splitStatements(script)) {
        if (index.match(statement).hasMatch())
            statements.append(statement);
    }
    return statements;
}

void openServerStore(Connection& connection, const StoreLocation& location) {
    connectTo(connection, location);
    try {
        checkTables(connection, location);
    } catch (const StoreError&) {
        connection.close();
        throw;
    }
}

void initServerStore(Connection& connection, const StoreLocation& location,
                     const std::function<void(Connection&)>& fill) {
    connectTo(connection, location);
    const ServerTables tables = tablesOf(connection);
    if (!tables.isEmpty()) {
        connection.close();
        QStringList names = tables.keys();
        names.sort();
        throw StoreError(QStringLiteral("База данных «%1» не пуста (таблицы: %2): базу "
                                        "конфигурации создают в пустой базе данных")
                             .arg(location.shown(), names.join(QStringLiteral(", "))));
    }
    try {
        Connection::Transaction transaction(connection);
        for (const QString& statement :
             serverSchemaStatements(Schema::store(), storeSchemaScript())) {
            runStatement(connection, statement);
        }
        if (fill) {
            fill(connection);
        } else {
            for (const QString& statement : splitStatements(storeReferenceScript()))
                runStatement(connection, statement);
        }
        transaction.commit();
    } catch (const StoreError& error) {
        connection.close();
        throw StoreError(QStringLiteral("Базу конфигурации «%1» создать не удалось: %2")
                             .arg(location.shown(), error.message()));
    }
}

}  // namespace orvet
