#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>

namespace orvet {

class Dataset;

// Column types of the store; Other is any column the program declares nothing for (the
// dispatch database's columns, computed columns of a join).
enum class FieldType { AutoInc, Word, Smallint, Integer, Float, Text, Other };

// What a field holds: type, width and accepted range. Values are kept as qint64 (integer
// kinds), double (Float) and QString (Text); an empty value is a null QVariant.
struct FieldDef {
    QString name;
    FieldType type = FieldType::Other;
    int size = 0;        // Text: most characters held; 0 means no limit
    qint64 minimum = 0;  // integer kinds: the accepted range
    qint64 maximum = 0;
    bool isKey = false;  // the table's key

    // A definition with the type's natural range (Word 0..65535, Smallint -32768..32767,
    // Integer and AutoInc 32-bit signed).
    static FieldDef of(const QString& name, FieldType type, int size = 0);

    bool isInteger() const;
    // Converts `value` into what this field holds, or throws StoreError naming the field
    // when it cannot hold it (out of range, too long, not a number). Empty text is empty.
    QVariant accept(const QVariant& value) const;
};

// Reads of a value with the empty-value rules: empty reads 0 as an integer or float and ""
// as text. A text that is not a number throws StoreError "'<text>' is not a valid integer
// value" (or the floating-point counterpart); a float read as an integer is rounded to the
// nearest, halves to the even neighbour.
int valueAsInteger(const QVariant& value);
double valueAsFloat(const QVariant& value);
QString valueAsString(const QVariant& value);

// The general value conversion: like the reads above, but an empty value throws StoreError
// "Invalid variant type conversion".
int variantToInteger(const QVariant& value);
double variantToFloat(const QVariant& value);

// One field of a dataset's current row, addressed by name without regard to case. Reads
// follow the empty-value rules above; assignments need the dataset in editing (edit or
// append) and are refused with StoreError when the field cannot hold the value, leaving the
// field as it was. Lookup fields are computed on every read and cannot be assigned.
class Field {
public:
    Field(Dataset& dataset, int index) : dataset_(&dataset), index_(index) {}

    const FieldDef& def() const;
    const QString& name() const { return def().name; }
    bool isLookup() const;

    QVariant value() const;
    bool isNull() const;
    int asInteger() const { return valueAsInteger(value()); }
    double asFloat() const { return valueAsFloat(value()); }
    QString asString() const { return valueAsString(value()); }

    void setValue(const QVariant& value);
    void setAsInteger(qint64 value) { setValue(QVariant::fromValue(value)); }
    void setAsFloat(double value) { setValue(QVariant(value)); }
    void setAsString(const QString& value) { setValue(QVariant(value)); }
    void clear() { setValue(QVariant()); }

private:
    Dataset* dataset_;
    int index_;
};

}  // namespace orvet
