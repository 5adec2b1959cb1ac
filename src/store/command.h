#pragma once

#include <QString>

namespace orvet {

class Connection;

// Executes one statement that returns no rows (DELETE, UPDATE, INSERT) on a connection,
// opening it when closed: the store's ADOCommand1, whose text each statement replaces.
class Command {
public:
    Command(Connection& connection, const QString& name, const QString& commandText = {});

    const QString& name() const { return name_; }
    Connection& connection() const { return connection_; }
    void setCommandText(const QString& text) { text_ = text; }
    const QString& commandText() const { return text_; }

    // Runs the command text and returns the number of rows it changed (-1 when the driver
    // cannot tell). Throws StoreError with the engine's text when it is refused.
    int execute();
    int execute(const QString& text) {
        setCommandText(text);
        return execute();
    }

private:
    Connection& connection_;
    QString name_;
    QString text_;
};

}  // namespace orvet
