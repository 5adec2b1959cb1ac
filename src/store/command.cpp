#include "store/command.h"

#include <QSqlQuery>

#include "store/connection.h"
#include "store/store_error.h"

namespace orvet {

Command::Command(Connection& connection, const QString& name, const QString& commandText)
    : connection_(connection), name_(name), text_(commandText) {
}

int Command::execute() {
    connection_.open();
    QSqlQuery query(connection_.database());
    if (!query.exec(text_))
        throw engineError(query.lastError());
    return query.numRowsAffected();
}

}  // namespace orvet
