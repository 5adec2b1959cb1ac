#include "store/field.h"

#include <QLocale>
#include <cmath>
#include <limits>

#include "core/conversion.h"
#include "store/dataset.h"
#include "store/sql_text.h"
#include "store/store_error.h"

namespace orvet {
namespace {

constexpr qint64 kIntMin = std::numeric_limits<qint32>::min();
constexpr qint64 kIntMax = std::numeric_limits<qint32>::max();

bool isEmpty(const QVariant& value) {
    return value.isNull() ||
           (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty());
}

bool isIntegral(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return true;
        default:
            return false;
    }
}

bool isReal(const QVariant& value) {
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

// The value in these messages may be anything a store holds: a blob, a megabyte of text.
QString invalidInteger(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(shownValue(text));
}

QString invalidFloat(const QString& text) {
    return QStringLiteral("'%1' не является допустимым числом").arg(shownValue(text));
}

// Text to integer with the program's conversion rules and message.
int parseInteger(const QString& text) {
    try {
        return strToInt(text);
    } catch (const ConversionError&) {
        throw StoreError(invalidInteger(text));
    }
}

// Text to double; a decimal comma is read as a point (the stop-bit choice "1,5").
double parseFloat(const QString& text) {
    QString normal = text.trimmed();
    normal.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(normal, &ok);
    if (!ok || !std::isfinite(value))
        throw StoreError(invalidFloat(text));
    return value;
}

// Rounds to the nearest integer, halves to the even neighbour; throws when out of range.
qint64 roundToInteger(double value, qint64 minimum, qint64 maximum) {
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < double(minimum) || rounded > double(maximum)) {
        throw StoreError(invalidInteger(QString::number(value, 'g', 15)));
    }
    return qint64(rounded);
}

QString textOf(const QVariant& value) {
    if (isReal(value))
        return QString::number(value.toDouble(), 'g', 15);
    return value.toString();
}

}  // namespace

FieldDef FieldDef::of(const QString& name, FieldType type, int size) {
    FieldDef def;
    def.name = name;
    def.type = type;
    def.size = size;
    switch (type) {
        case FieldType::Word:
            def.minimum = 0;
            def.maximum = 65535;
            break;
        case FieldType::Smallint:
            def.minimum = -32768;
            def.maximum = 32767;
            break;
        case FieldType::AutoInc:
        case FieldType::Integer:
            def.minimum = kIntMin;
            def.maximum = kIntMax;
            break;
        default:
            break;
    }
    return def;
}

bool FieldDef::isInteger() const {
    return type == FieldType::AutoInc || type == FieldType::Word || type == FieldType::Smallint ||
           type == FieldType::Integer;
}

QVariant FieldDef::accept(const QVariant& value) const {
    if (type == FieldType::Other)
        return value;
    // Blanks are a text's own; for a number they are no value.
    if (type == FieldType::Text ? value.isNull() || value.toString().isEmpty() : isEmpty(value))
        return QVariant();
    if (isInteger()) {
        qint64 number = 0;
        if (isIntegral(value)) {
            number = value.toLongLong();
        } else if (isReal(value)) {
            number = roundToInteger(value.toDouble(), kIntMin, kIntMax);
        } else {
            number = parseInteger(value.toString());
        }
        if (number < minimum || number > maximum) {
            throw StoreError(QStringLiteral("%1 — недопустимое значение поля «%2»: допустимы "
                                            "значения от %3 до %4")
                                 .arg(number)
                                 .arg(name)
                                 .arg(minimum)
                                 .arg(maximum));
        }
        return QVariant::fromValue(number);
    }
    if (type == FieldType::Float) {
        if (isIntegral(value))
            return QVariant(double(value.toLongLong()));
        if (isReal(value)) {
            const double number = value.toDouble();
            if (!std::isfinite(number))
                throw StoreError(invalidFloat(textOf(value)));
            return QVariant(number);
        }
        return QVariant(parseFloat(value.toString()));
    }
    const QString text = textOf(value);
    if (size > 0 && text.size() > size) {
        throw StoreError(QStringLiteral("Значение «%1» не помещается в поле «%2»: допустимо "
                                        "не более %3 символов")
                             .arg(shownValue(text), name)
                             .arg(size));
    }
    return QVariant(text);
}

int valueAsInteger(const QVariant& value) {
    if (isEmpty(value))
        return 0;
    if (isReal(value))
        return int(roundToInteger(value.toDouble(), kIntMin, kIntMax));
    if (isIntegral(value)) {
        const qint64 number = value.toLongLong();
        if (number < kIntMin || number > kIntMax) {
            throw StoreError(invalidInteger(QString::number(number)));
        }
        return int(number);
    }
    return parseInteger(value.toString());
}

double valueAsFloat(const QVariant& value) {
    if (isEmpty(value))
        return 0.0;
    if (isReal(value) || isIntegral(value))
        return value.toDouble();
    return parseFloat(value.toString());
}

QString valueAsString(const QVariant& value) {
    if (value.isNull())
        return QString();
    return textOf(value);
}

int variantToInteger(const QVariant& value) {
    if (value.isNull())
        throw StoreError(QStringLiteral("Invalid variant type conversion"));
    return valueAsInteger(value);
}

double variantToFloat(const QVariant& value) {
    if (value.isNull())
        throw StoreError(QStringLiteral("Invalid variant type conversion"));
    return valueAsFloat(value);
}

const FieldDef& Field::def() const {
    return dataset_->fieldDef(index_);
}

bool Field::isLookup() const {
    return dataset_->isLookupField(index_);
}

QVariant Field::value() const {
    return dataset_->currentValue(index_);
}

bool Field::isNull() const {
    return value().isNull();
}

void Field::setValue(const QVariant& value) {
    dataset_->assign(index_, value);
}

}  // namespace orvet
