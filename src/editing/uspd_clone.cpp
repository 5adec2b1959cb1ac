#include "editing/uspd_clone.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include "store/connection.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr qsizetype kNameWidth = 50;
const QString kCopySuffix = QStringLiteral(" (копия)");

using KeyMap = QHash<qint64, qint64>;

// A column of a copied table that refers to another copied table's key.
struct Reference {
    const char* column;
    const KeyMap* keys;
};

// Copies the rows of `table` that belong to USPD `from` to USPD `to`, in ascending `key`,
// with `references` rewritten (a value the map does not hold stays as it is); returns the
// copies' keys by the originals'.
KeyMap copyRows(Connection& store, const char* table, const char* key, qint64 from, qint64 to,
                std::initializer_list<Reference> references = {}) {
    QSqlQuery rows = runQuery(store,
                              QStringLiteral("SELECT * FROM %1 WHERE id_uspd = ? ORDER BY %2")
                                  .arg(QLatin1String(table), QLatin1String(key)),
                              {from});
    const QSqlRecord record = rows.record();
    const int keyIndex = record.indexOf(QLatin1String(key));
    QStringList columns;
    QStringList marks;
    for (int i = 0; i < record.count(); ++i) {
        if (i != keyIndex) {
            columns << record.fieldName(i);
            marks << QStringLiteral("?");
        }
    }
    QSqlQuery insert(store.database());
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(QLatin1String(table), columns.join(u','), marks.join(u','))))
        throw engineError(insert.lastError());

    KeyMap copies;
    while (rows.next()) {
        for (int i = 0; i < record.count(); ++i) {
            if (i == keyIndex)
                continue;
            QVariant value = rows.value(i);
            const QString column = record.fieldName(i);
            if (column.compare(QLatin1String("id_uspd"), Qt::CaseInsensitive) == 0) {
                value = to;
            } else {
                for (const Reference& reference : references) {
                    if (column.compare(QLatin1String(reference.column), Qt::CaseInsensitive) == 0 &&
                        !value.isNull()) {
                        value = reference.keys->value(value.toLongLong(), value.toLongLong());
                    }
                }
            }
            insert.addBindValue(value);
        }
        if (!insert.exec())
            throw engineError(insert.lastError());
        copies.insert(rows.value(keyIndex).toLongLong(), insert.lastInsertId().toLongLong());
    }
    if (rows.lastError().isValid())
        throw engineError(rows.lastError());
    return copies;
}

}  // namespace

QString cloneName(const QString& original) {
    return original.left(kNameWidth - kCopySuffix.size()) + kCopySuffix;
}

int cloneUspd(Connection& store, int idUspd, const QString& name) {
    if (name.size() > kNameWidth) {
        throw StoreError(QStringLiteral("Название УСПД длиннее %1 символов и не помещается в базу.")
                             .arg(kNameWidth));
    }
    Connection::Transaction transaction(store);
    QSqlQuery original =
        runQuery(store, QStringLiteral("SELECT uspd_name, enterprise FROM USPD WHERE id_uspd = ?"),
                 {idUspd});
    if (!original.next())
        throw StoreError(QStringLiteral("В базе нет УСПД с id_uspd %1.").arg(idUspd));
    const QString cloneNameText = name.isEmpty() ? cloneName(original.value(0).toString()) : name;
    const QSqlQuery added =
        runQuery(store, QStringLiteral("INSERT INTO USPD (uspd_name, enterprise) VALUES (?, ?)"),
                 {cloneNameText, original.value(1)});
    const qint64 clone = added.lastInsertId().toLongLong();

    const KeyMap interfaces = copyRows(store, "SpecInterFace", "id_iface_s", idUspd, clone);
    const KeyMap modules = copyRows(store, "SpecDevice", "id_device", idUspd, clone,
                                    {{"id_iface_s", &interfaces}, {"id_iface_s2", &interfaces}});
    const std::pair<const char*, const char*> channels[] = {
        {"SpecAChannel", "id_achannel"},
        {"SpecNIChannel", "id_nichannel"},
        {"SpecDChannel", "id_dchannel"},
        {"SpecDOChannel", "id_dochannel"},
        {"SpecKBHA", "id_kvna"},
        {"SpecEmDChannel", "id_dchannel"},
        {"SpecEmDOChannel", "id_dochannel"},
    };
    for (const auto& [table, key] : channels)
        copyRows(store, table, key, idUspd, clone, {{"id_device", &modules}});
    copyRows(store, "Headline", "id_hline", idUspd, clone);
    copyRows(store, "ShortArchive", "id_sh_arc", idUspd, clone);
    copyRows(store, "MainArchive", "id_mn_arc", idUspd, clone);
    copyRows(store, "CallbackPhone", "id_phone", idUspd, clone);
    transaction.commit();
    return int(clone);
}

}  // namespace orvet
