#pragma once

#include <QString>
#include <functional>

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

// Creates the store file `path` from the built-in schema, with the rows that `fill` writes
// through the connection it is given (the built-in reference rows when it is empty), in one
// transaction in a temporary file renamed into place: a failure leaves nothing behind.
// `path` must not exist. Throws StoreError with the program's text.
void createStoreFile(const QString& path, const std::function<void(Connection&)>& fill = {});

}  // namespace orvet
