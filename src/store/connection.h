#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <vector>

namespace orvet {

class Dataset;
class Schema;
class StoreError;

// A database connection shared by datasets and commands (the store's ADOConnection1, the
// dispatch database's ADOConnection2), over any Qt SQL driver. Opening a dataset opens a
// closed connection; closing the connection closes its datasets first. Datasets and
// commands must not outlive their connection.
//
// The optional schema declares the field definitions (type, width, range) of the tables
// the connection's datasets read; columns it does not declare take their type from the
// driver and accept any value.
class Connection {
public:
    // `driver` is a Qt SQL driver name ("QSQLITE", "QODBC").
    Connection(const QString& name, const QString& driver);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& name() const { return name_; }

    // Changes the Qt SQL driver; the connection must be closed, and the database name and
    // connection options set before are dropped.
    void setDriver(const QString& driver);
    QString driverName() const { return database().driverName(); }
    // Whether the connection is to a PostgreSQL server (QPSQL). The few statements that
    // differ from the store file's ask this.
    bool isPostgres() const;
    // `name` as a quoted identifier for the driver. PostgreSQL folds names written without
    // quotes to lower case and the store's tables are created so, so their names are
    // quoted in lower case there.
    QString identifier(const QString& name, QSqlDriver::IdentifierType type) const;
    // "column holds the value of a placeholder, empty values alike" for the driver.
    QString sameValueCondition(const QString& column) const;

    // The database file (QSQLITE) or the ODBC connection string (QODBC); set while closed.
    void setDatabaseName(const QString& databaseName);
    QString databaseName() const;
    // Server connections: where the server is and who logs in (no password: the client
    // library finds it in the user's own places).
    void setServer(const QString& host, int port, const QString& user);
    void setSchema(const Schema* schema) { schema_ = schema; }
    const Schema* schema() const { return schema_; }

    // Throws StoreError with the engine's text when the database cannot be opened.
    void open();
    void close();
    bool isOpen() const;
    QSqlDatabase database() const;

    // The datasets on this connection, in the order they were created.
    const std::vector<Dataset*>& datasets() const { return datasets_; }
    // The dataset named `name`, or nullptr.
    Dataset* dataset(QStringView name) const;

    // All-or-nothing work: the outermost Transaction on a connection begins and commits a
    // database transaction; nested ones join it. Leaving the outermost scope without
    // commit() (an exception) rolls the whole of it back. Drivers without transactions
    // run the work as it comes.
    class Transaction {
    public:
        explicit Transaction(Connection& connection);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Connection& connection_;
        bool outermost_ = false;
        bool done_ = false;
    };

private:
    friend class Dataset;
    void attach(Dataset* dataset) { datasets_.push_back(dataset); }
    void detach(Dataset* dataset);

    QString name_;
    QString qtName_;
    const Schema* schema_ = nullptr;
    std::vector<Dataset*> datasets_;
    int transactionDepth_ = 0;
};

// The error of a statement or operation the engine refused, with the engine's text.
StoreError engineError(const QSqlError& error);

// Runs `sql` on `connection` with `values` bound in order, and returns the query before its
// first row. Throws StoreError with the engine's text when it is refused.
QSqlQuery runQuery(Connection& connection, const QString& sql, const QVariantList& values = {});

// Runs one statement without preparing it: schema statements and settings, which a PostgreSQL
// server does not prepare. Throws StoreError with the engine's text when it is refused.
void runStatement(Connection& connection, const QString& sql);

}  // namespace orvet
