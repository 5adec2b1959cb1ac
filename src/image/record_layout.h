#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>
#include <utility>
#include <variant>

#include "image/image_records.h"

namespace orvet {

// Byte layouts of the image records (image_records.h): little-endian, packed, fixed size.
// Every byte a record does not carry is 0; the constant bytes of the interface and module
// records are 1.

// The record's exact Rec::size bytes.
template <class Rec>
QByteArray encodeRecord(const Rec& rec);

// Reads a record from the Rec::size bytes at `data`. An unused byte that is not 0, a
// constant byte that is not 1 or a terminated text without its NUL adds a warning, named
// after `where`, to `warnings`.
template <class Rec>
Rec decodeRecord(const char* data, const QString& where, QStringList* warnings);

// The record's fields in byte order, each with its value as the device reads it: integers
// cut to the field's width, floats as float32, texts as they come back from their slot
// (in double quotes, with '"', '\' and control characters escaped).
template <class Rec>
QList<std::pair<QString, QString>> describeRecord(const Rec& rec);

// How the compiler reads a record field from the store row the record comes from.
enum class StoreRead {
    Plain,     // as the member's kind: a 32-bit integer, a double or a text; empty reads 0 or ""
    Strict,    // through the general conversion, which refuses an empty value
    BaudCode,  // a speed code, read as an integer and turned into bit/s by baudRate()
};

// A record field filled from a store row.
template <class Rec>
struct StoreField {
    QStringView column;  // named without regard to case
    StoreRead read;
    std::variant<qint64 Rec::*, double Rec::*, QString Rec::*> member;
};

// The fields of a record that comes from one store row (an interface, module, channel or
// phone record), in byte order, which is the order the compiler reads them in.
template <class Rec>
std::span<const StoreField<Rec>> storeFields();

}  // namespace orvet
