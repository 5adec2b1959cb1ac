#pragma once

#include <QString>
#include <stdexcept>

namespace orvet {

// A text the user typed (or a stored value) is not what a field needs; the message is
// the program's text for it, shown in a message box.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// Reads `text` as a decimal integer (surrounding blanks allowed). Throws ConversionError
// "'<text>' is not a valid integer value" otherwise.
int strToInt(const QString& text);

}  // namespace orvet
