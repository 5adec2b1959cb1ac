#pragma once

#include <QByteArray>
#include <QString>

namespace orvet::testing {

// The bytes of file `path`; a file that cannot be read fails the running test.
QByteArray readFile(const QString& path);
// Replaces file `path` with `bytes`; a file that cannot be written fails the running test.
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace orvet::testing
