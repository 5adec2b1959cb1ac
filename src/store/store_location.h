#pragma once

#include <QString>

namespace orvet {

class Connection;

// Where a configuration store is: a SQLite file (a path) or a PostgreSQL database, written
// as "postgresql://[user@]host[:port]/database" (a host that is a folder, given as
// "?host=/folder", is the server's socket folder). The password is never part of it: the
// client library takes it from ~/.pgpass or PGPASSWORD.
struct StoreLocation {
    enum class Kind { File, Server };

    Kind kind = Kind::File;
    QString path;  // File
    QString host;  // Server; empty: the client library's default
    int port = -1;
    QString user;
    QString database;

    // Reads a location as the user wrote it; throws StoreError saying what is wrong with a
    // server address (a password in it, no database name, a port that is not a number).
    static StoreLocation parse(const QString& text);
    bool isServer() const { return kind == Kind::Server; }
    // The location as messages name it: the file's native path, or the address.
    QString shown() const;
};

// Opens the store at `location` on `connection` (the driver follows the location). A
// missing file is created from the built-in schema and reference rows, and true returned; a
// server database must already hold the store's tables (initServerStore). Throws StoreError
// with the program's text when the store cannot be used; the connection is then closed.
bool openStore(Connection& connection, const StoreLocation& location);

}  // namespace orvet
