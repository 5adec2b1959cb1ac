#pragma once

#include <QString>
#include <QtGlobal>

namespace orvet {

// Conversions from store values to the values the image holds. The record writer applies
// them; the compiler uses them where it derives a value itself.

// The nearest integer, halves to the even neighbour (1.5 -> 2, 2.5 -> 2, -0.5 -> 0, never
// a negative zero); NaN and infinities are returned unchanged.
double roundHalfEven(double value);

// The float32 nearest to `value` (ties to even); beyond the float range the result is the
// infinity of its sign, as IEEE rounding gives it.
float toFloat32(double value);

// The low `bits` bits (at most 32) of an integral double, as an unsigned number; 0 for NaN
// and infinities.
quint32 lowBitsOf(double integral, int bits);

// Line speed in bit/s for the store's speed code 1..8; 0 for any other code.
qint64 baudRate(qint64 code);
// The speed code whose baudRate() is `speed`; 0 (no code) for any other speed.
qint64 baudCode(qint64 speed);

// The main archive block's `base`: twice the short archive's record count plus 32 (the
// writer keeps its low 16 bits).
qint64 mainArchiveBase(qint64 shortRecords);

// How many bytes `text` takes in the device's single-byte code pages: one per character.
qsizetype deviceTextLength(const QString& text);

}  // namespace orvet
