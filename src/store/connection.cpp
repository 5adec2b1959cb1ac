#include "store/connection.h"

#include <QRegularExpression>
#include <atomic>

#include "store/dataset.h"
#include "store/store_error.h"

namespace orvet {

Connection::Connection(const QString& name, const QString& driver) : name_(name) {
    static std::atomic<int> counter{0};
    qtName_ = QStringLiteral("orvet-%1-%2").arg(name).arg(++counter);
    QSqlDatabase::addDatabase(driver, qtName_);
}

Connection::~Connection() {
    close();
    QSqlDatabase::removeDatabase(qtName_);
}

void Connection::setDriver(const QString& driver) {
    close();
    if (database().driverName() == driver)
        return;
    QSqlDatabase::removeDatabase(qtName_);
    QSqlDatabase::addDatabase(driver, qtName_);
}

bool Connection::isPostgres() const {
    return database().driverName() == QLatin1String("QPSQL");
}

QString Connection::identifier(const QString& name, QSqlDriver::IdentifierType type) const {
    return database().driver()->escapeIdentifier(isPostgres() ? name.toLower() : name, type);
}

QString Connection::sameValueCondition(const QString& column) const {
    return identifier(column, QSqlDriver::FieldName) +
           (isPostgres() ? QStringLiteral(" IS NOT DISTINCT FROM ?") : QStringLiteral(" IS ?"));
}

void Connection::setServer(const QString& host, int port, const QString& user) {
    QSqlDatabase db = database();
    db.setHostName(host);
    db.setPort(port);
    db.setUserName(user);
}

void Connection::setDatabaseName(const QString& databaseName) {
    database().setDatabaseName(databaseName);
}

QString Connection::databaseName() const {
    return database().databaseName();
}

void Connection::open() {
    QSqlDatabase db = database();
    if (db.isOpen())
        return;
    if (!db.isValid()) {
        throw StoreError(QStringLiteral("Драйвер базы данных %1 недоступен").arg(db.driverName()));
    }
    if (!db.open())
        throw engineError(db.lastError());
}

void Connection::close() {
    for (Dataset* dataset : datasets_)
        dataset->close();
    QSqlDatabase db = database();
    if (db.isOpen()) {
        if (transactionDepth_ > 0)
            db.rollback();
        transactionDepth_ = 0;
        db.close();
    }
}

bool Connection::isOpen() const {
    return database().isOpen();
}

QSqlDatabase Connection::database() const {
    return QSqlDatabase::database(qtName_, false);
}

Dataset* Connection::dataset(QStringView name) const {
    for (Dataset* dataset : datasets_) {
        if (dataset->name() == name)
            return dataset;
    }
    return nullptr;
}

void Connection::detach(Dataset* dataset) {
    std::erase(datasets_, dataset);
}

Connection::Transaction::Transaction(Connection& connection) : connection_(connection) {
    if (connection_.transactionDepth_ == 0) {
        QSqlDatabase db = connection_.database();
        if (db.driver() && db.driver()->hasFeature(QSqlDriver::Transactions)) {
            if (!db.transaction())
                throw engineError(db.lastError());
            outermost_ = true;
        }
    }
    ++connection_.transactionDepth_;
}

Connection::Transaction::~Transaction() {
    if (done_)
        return;
    if (connection_.transactionDepth_ > 0)
        --connection_.transactionDepth_;
    if (outermost_ && connection_.isOpen())
        connection_.database().rollback();
}

void Connection::Transaction::commit() {
    if (done_)
        return;
    if (outermost_) {
        QSqlDatabase db = connection_.database();
        if (!db.commit())
            throw engineError(db.lastError());
    }
    done_ = true;
    --connection_.transactionDepth_;
}

StoreError engineError(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    // PostgreSQL's report: "SEVERITY:  message", then DETAIL, HINT and CONTEXT lines and the
    // state code. The user is shown the message and its detail.
    static const QRegularExpression severity(QStringLiteral(R"(^\p{Lu}+:  )"));
    if (severity.match(text).hasMatch()) {
        const QStringList lines = text.split(u'\n');
        text = lines.first().mid(severity.match(text).capturedLength());
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1String("DETAIL:  ")))
                text += u' ' + line.mid(9);
        }
    }
    return StoreError(text.isEmpty() ? error.text().trimmed() : text);
}

QSqlQuery runQuery(Connection& connection, const QString& sql, const QVariantList& values) {
    QSqlQuery query(connection.database());
    if (!query.prepare(sql))
        throw engineError(query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw engineError(query.lastError());
    return query;
}

void runStatement(Connection& connection, const QString& sql) {
    QSqlQuery query(connection.database());
    if (!query.exec(sql))
        throw engineError(query.lastError());
}

}  // namespace orvet
