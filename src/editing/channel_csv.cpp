#include "editing/channel_csv.h"

#include <QLocale>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <limits>
#include <vector>

#include "store/channel_kinds.h"
#include "store/connection.h"
#include "store/schema.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr QChar kSeparator = u';';

// The columns a file carries: the table's, without its key and its USPD.
std::vector<const FieldDef*> exportedColumns(const ChannelKind& kind) {
    const TableDef* table = Schema::store().table(QString::fromLatin1(kind.table));
    if (!table)
        throw StoreError(
            QStringLiteral("В схеме базы нет таблицы %1").arg(QLatin1String(kind.table)));
    std::vector<const FieldDef*> columns;
    for (const FieldDef& field : table->fields) {
        if (!field.isKey && field.name.compare(QLatin1String("id_uspd"), Qt::CaseInsensitive) != 0)
            columns.push_back(&field);
    }
    return columns;
}

QString quotedIfNeeded(const QString& text) {
    if (text.isEmpty() || text.contains(kSeparator) || text.contains(u'"') ||
        text.contains(u'\n') || text.contains(u'\r')) {
        QString quoted = text;
        quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + quoted + u'"';
    }
    return text;
}

QString csvField(const FieldDef& column, const QVariant& value) {
    if (value.isNull())
        return {};
    if (column.type == FieldType::Float) {
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest)
            .replace(u'.', u',');
    }
    if (column.isInteger())
        return QString::number(value.toLongLong());
    return quotedIfNeeded(value.toString());
}

// One field of a file as read: its text, whether it was quoted, and the line it starts on.
struct CsvField {
    QString text;
    bool quoted = false;
};
struct CsvRecord {
    int line = 0;
    std::vector<CsvField> fields;
};

StoreError refusal(int line, const QString& column, const QString& reason) {
    if (column.isEmpty())
        return StoreError(QStringLiteral("Строка %1: %2").arg(line).arg(reason));
    return StoreError(QStringLiteral("Строка %1, столбец «%2»: %3").arg(line).arg(column, reason));
}

// Splits `text` into records; a quote that is never closed is refused.
std::vector<CsvRecord> parseCsv(const QString& text) {
    std::vector<CsvRecord> records;
    CsvRecord record;
    CsvField field;
    int line = 1;
    record.line = 1;
    bool inQuotes = false;
    bool fieldStarted = false;
    const auto endField = [&] {
        record.fields.push_back(std::move(field));
        field = CsvField();
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        endField();
        // A blank line carries nothing.
        if (!(record.fields.size() == 1 && record.fields[0].text.isEmpty() &&
              !record.fields[0].quoted))
            records.push_back(std::move(record));
        record = CsvRecord();
        record.line = line;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    field.text += u'"';
                    ++i;
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                field.text += c;
            }
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            inQuotes = true;
            field.quoted = true;
            fieldStarted = true;
        } else if (c == kSeparator) {
            endField();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        } else if (c == u'\n') {
            ++line;
            endRecord();
        } else {
            if (field.quoted)
                throw refusal(line, {}, QStringLiteral("текст после закрывающей кавычки"));
            field.text += c;
            fieldStarted = true;
        }
    }
    if (inQuotes)
        throw refusal(record.line, {}, QStringLiteral("кавычка не закрыта до конца файла"));
    if (fieldStarted || !record.fields.empty())
        endRecord();
    return records;
}

}  // namespace

QByteArray exportChannelsCsv(Connection& store, const ChannelKind& kind, int idUspd) {
    const std::vector<const FieldDef*> columns = exportedColumns(kind);
    QStringList names;
    for (const FieldDef* column : columns)
        names << column->name;
    QSqlQuery rows =
        runQuery(store,
                 QStringLiteral("SELECT %1 FROM %2 WHERE id_uspd = ? ORDER BY %3")
                     .arg(names.join(u','), QLatin1String(kind.table), QLatin1String(kind.key)),
                 {idUspd});
    QString text = names.join(kSeparator) + QStringLiteral("\r\n");
    while (rows.next()) {
        QStringList fields;
        for (int i = 0; i < int(columns.size()); ++i)
            fields << csvField(*columns[i], rows.value(i));
        text += fields.join(kSeparator) + QStringLiteral("\r\n");
    }
    if (rows.lastError().isValid())
        throw engineError(rows.lastError());
    return text.toUtf8();
}

int importChannelsCsv(Connection& store, const ChannelKind& kind, int idUspd, const QByteArray& csv,
                      bool replace) {
    QByteArray bytes = csv;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);  // the byte order mark spreadsheets put first
    const std::vector<CsvRecord> records = parseCsv(QString::fromUtf8(bytes));
    if (records.empty())
        throw refusal(1, {}, QStringLiteral("в файле нет строки с названиями столбцов"));

    const std::vector<const FieldDef*> known = exportedColumns(kind);
    std::vector<const FieldDef*> columns;
    for (const CsvField& name : records.front().fields) {
        const FieldDef* found = nullptr;
        for (const FieldDef* column : known) {
            if (column->name.compare(name.text.trimmed(), Qt::CaseInsensitive) == 0)
                found = column;
        }
        if (!found) {
            throw refusal(
                records.front().line, name.text,
                QStringLiteral("такого столбца в таблице %1 нет").arg(QLatin1String(kind.table)));
        }
        for (const FieldDef* earlier : columns) {
            if (earlier == found)
                throw refusal(records.front().line, name.text,
                              QStringLiteral("столбец повторяется"));
        }
        columns.push_back(found);
    }

    QSet<qint64> modules;
    QSqlQuery owned = runQuery(
        store, QStringLiteral("SELECT id_device FROM SpecDevice WHERE id_uspd = ?"), {idUspd});
    while (owned.next())
        modules.insert(owned.value(0).toLongLong());

    QStringList names{QStringLiteral("id_uspd")};
    QStringList marks{QStringLiteral("?")};
    for (const FieldDef* column : columns) {
        names << column->name;
        marks << QStringLiteral("?");
    }
    Connection::Transaction transaction(store);
    if (replace) {
        runQuery(store,
                 QStringLiteral("DELETE FROM %1 WHERE id_uspd = ?").arg(QLatin1String(kind.table)),
                 {idUspd});
    }
    QSqlQuery insert(store.database());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(QLatin1String(kind.table), names.join(u','), marks.join(u','))))
        throw engineError(insert.lastError());
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        if (record.fields.size() != columns.size()) {
            throw refusal(record.line, {},
                          QStringLiteral("полей %1, а столбцов в заголовке %2")
                              .arg(record.fields.size())
                              .arg(columns.size()));
        }
        insert.addBindValue(idUspd);
        for (size_t i = 0; i < columns.size(); ++i) {
            const FieldDef& column = *columns[i];
            const CsvField& field = record.fields[i];
            QVariant value;
            if (column.type == FieldType::Text && field.quoted && field.text.isEmpty()) {
                value = QVariant(QStringLiteral(""));
            } else {
                try {
                    value = column.accept(column.type == FieldType::Float
                                              ? QString(field.text).replace(u',', u'.')
                                              : field.text);
                } catch (const StoreError& error) {
                    throw refusal(record.line, column.name, error.message());
                }
            }
            if (column.name.compare(QLatin1String("id_device"), Qt::CaseInsensitive) == 0 &&
                !value.isNull() && value.toLongLong() != 0 &&
                !modules.contains(value.toLongLong())) {
                throw refusal(
                    record.line, column.name,
                    QStringLiteral("у УСПД нет модуля с ключом %1").arg(value.toLongLong()));
            }
            insert.addBindValue(value);
        }
        if (!insert.exec())
            throw refusal(record.line, {}, engineError(insert.lastError()).message());
    }
    transaction.commit();
    return int(records.size()) - 1;
}

}  // namespace orvet
