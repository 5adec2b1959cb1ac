#pragma once

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <utility>

#include "image/image.h"

namespace orvet::testing {

// Bytes from hex text: pairs of hex digits, blanks and line breaks between them ignored.
QByteArray hex(const char* text);

// A zero-filled record of `size` bytes with the given hex runs at their offsets.
QByteArray record(int size, std::initializer_list<std::pair<int, const char*>> runs);

// The image of a USPD with nothing in it but its flags and archive settings.
Image emptyImage();
// An image with records in every section, built around the format's edge cases: an
// unknown speed code, stop 1.5, an 8-character password, codes 3.5 and 2.5, a wrapping
// main archive base, a module count above 127, Cyrillic texts, a 12-character phone.
Image fullImage();

// A checked-in golden file under tests/image/golden. When ORVET_UPDATE_GOLDEN=1 is set,
// the file is rewritten with `actual` first, and the test says so.
QByteArray goldenBytes(const QString& name, const Image& image);  // hex text with comments
QString goldenText(const QString& name, const QString& actual);

// Runs orvet-cli with `args`; returns the exit status and fills stdout and stderr.
int runCli(const QStringList& args, QString* out, QString* err);

}  // namespace orvet::testing
