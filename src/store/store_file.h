#pragma once

#include <QString>

namespace orvet {

class Connection;

// Opens the configuration store file `path` on `connection` (a QSQLITE connection). An
// existing file must be a readable and writable database holding every table and field of
// the built-in schema; it is checked by reading only, so a file that fails is never
// written. Then the WAL journal is turned on. A missing file is first created from the
// built-in schema and reference rows, in a temporary file renamed into place, so a failed
// creation leaves nothing behind.
//
// Returns true when the file was created. Throws StoreError with the program's text when
// the file cannot be used; the connection is then closed.
bool openStoreFile(Connection& connection, const QString& path);

}  // namespace orvet
