#pragma once

#include <QString>
#include <stdexcept>

namespace orvet {

// The one exception of the configuration store and the dataset layer: a statement or value
// the database engine refused, a value a field cannot hold, an operation the dataset's
// state does not allow, or a store file that cannot be used. message() is the program's
// text, ready for a message box; callers let it travel up to the command that shows it.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

}  // namespace orvet
