#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

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

}  // namespace orvet
