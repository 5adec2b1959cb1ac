#pragma once

#include <QStringList>
#include <functional>

namespace orvet {

class Connection;
class Schema;
struct StoreLocation;

// The configuration store on a PostgreSQL server (Qt's QPSQL driver). The tables are those
// of the built-in schema, created without quotes (so the server keeps their names in lower
// case), with identity keys, the same widths and the ranges as checks. Everything that the
// server needs said differently from the store file is kept here.

// Connects `connection` to the server database of `location` and checks that it holds
// every table and field of the built-in schema with a type that keeps the field's values.
// Throws StoreError with the program's text; the connection is then closed.
void openServerStore(Connection& connection, const StoreLocation& location);

// Creates the store's tables in the server database of `location` with the rows that `fill`
// writes (the built-in reference rows when it is empty), in one transaction, and leaves the
// connection open on it. Refused when the database already holds a table.
void initServerStore(Connection& connection, const StoreLocation& location,
                     const std::function<void(Connection&)>& fill = {});

// The statements that create `schema`'s tables, indexes and key triggers on the server.
QStringList serverSchemaStatements(const Schema& schema, const QString& script);

// Which USPD each session has open, in the server's advisory locks (a session's shared lock
// on the USPD it has open; the deletion of a USPD takes it exclusively): moves this
// session's lock from `previous` (none: -1) to `current`.
void holdUspdOpen(Connection& connection, int previous, int current);
// Inside a transaction: whether USPD `uspd` is open in no other session; while the
// transaction lasts, no other session opens it.
bool lockUspdForDeletion(Connection& connection, int uspd);
// Inside a transaction: waits until no other session renumbers USPD `uspd` and keeps the
// others waiting until the transaction ends. Throws StoreError when the wait is too long.
void lockUspdForRenumbering(Connection& connection, int uspd);

}  // namespace orvet
