#include "store/schema.h"

#include <QFile>
#include <QRegularExpression>

#include "store/store_error.h"

namespace orvet {
namespace {

QString resourceText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StoreError(QStringLiteral("Встроенный файл %1 не найден").arg(path));
    }
    return QString::fromUtf8(file.readAll());
}

// Splits at the commas that are outside parentheses.
QStringList topLevelItems(QStringView body) {
    QStringList items;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body[i] == u'(')
            ++depth;
        if (body[i] == u')')
            --depth;
        if (body[i] == u',' && depth == 0) {
            items.append(body.mid(start, i - start).trimmed().toString());
            start = i + 1;
        }
    }
    items.append(body.mid(start).trimmed().toString());
    return items;
}

FieldDef parseColumn(const QString& text, const QString& table) {
    static const QRegularExpression column(
        QStringLiteral(R"(^(\w+)\s+(\w+)(?:\s*\(\s*(\d+)\s*\))?(.*)$)"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression check(
        QStringLiteral(R"(CHECK\s*\(\s*\w+\s+BETWEEN\s+(-?\d+)\s+AND\s+(-?\d+)\s*\))"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = column.match(text);
    const auto unreadable = [&] {
        return StoreError(
            QStringLiteral("Описание поля таблицы %1 не распознано: %2").arg(table, text));
    };
    if (!match.hasMatch())
        throw unreadable();
    const QString typeName = match.captured(2).toUpper();
    const QString rest = match.captured(4).toUpper();
    const bool key = rest.contains(QLatin1String("PRIMARY KEY"));
    FieldType type;
    if (typeName == QLatin1String("INTEGER")) {
        type =
            rest.contains(QLatin1String("AUTOINCREMENT")) ? FieldType::AutoInc : FieldType::Integer;
    } else if (typeName == QLatin1String("WORD")) {
        type = FieldType::Word;
    } else if (typeName == QLatin1String("SMALLINT")) {
        type = FieldType::Smallint;
    } else if (typeName == QLatin1String("FLOAT")) {
        type = FieldType::Float;
    } else if (typeName == QLatin1String("TEXT")) {
        type = FieldType::Text;
    } else {
        throw unreadable();
    }
    FieldDef def = FieldDef::of(match.captured(1), type, match.captured(3).toInt());
    def.isKey = key;
    const auto range = check.match(match.captured(4));
    if (range.hasMatch()) {
        def.minimum = range.captured(1).toLongLong();
        def.maximum = range.captured(2).toLongLong();
    }
    return def;
}

}  // namespace

const FieldDef* TableDef::field(QStringView fieldName) const {
    for (const FieldDef& def : fields) {
        if (def.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &def;
    }
    return nullptr;
}

const FieldDef* TableDef::key() const {
    for (const FieldDef& def : fields) {
        if (def.isKey)
            return &def;
    }
    return nullptr;
}

Schema Schema::parse(const QString& script) {
    static const QRegularExpression createTable(
        QStringLiteral(R"(^CREATE\s+TABLE\s+(\w+)\s*\((.*)\)$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    Schema schema;
    for (const QString& statement : splitStatements(script)) {
        const auto match = createTable.match(statement);
        if (!match.hasMatch())
            continue;
        TableDef table{match.captured(1), {}};
        for (const QString& item : topLevelItems(match.capturedView(2))) {
            table.fields.push_back(parseColumn(item, table.name));
        }
        schema.tables_.push_back(std::move(table));
    }
    return schema;
}

const Schema& Schema::store() {
    static const Schema schema = parse(storeSchemaScript());
    return schema;
}

const TableDef* Schema::table(QStringView name) const {
    for (const TableDef& table : tables_) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

QString storeSchemaScript() {
    return resourceText(QStringLiteral(":/store/schema.sql"));
}

QString storeReferenceScript() {
    return resourceText(QStringLiteral(":/store/reference.sql"));
}

QStringList splitStatements(const QString& script) {
    QStringList statements;
    QString current;
    QChar quote;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script[i];
        if (!quote.isNull()) {
            current += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'-' && i + 1 < script.size() && script[i + 1] == u'-') {
            while (i < script.size() && script[i] != u'\n')
                ++i;
            current += u'\n';
            continue;
        }
        if (c == u';') {
            if (!current.trimmed().isEmpty())
                statements.append(current.trimmed());
            current.clear();
            continue;
        }
        if (c == u'\'' || c == u'"')
            quote = c;
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements.append(current.trimmed());
    return statements;
}

}  // namespace orvet
