#pragma once

#include <QString>
#include <stdexcept>

namespace orvet {

// A settings value could not be stored.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The per-user settings of the program: organisation "Зоремакс", application
// "ORVET-4410". Values sit in groups ("1.0" holds the link and connection settings) and
// are all text; integers are written as decimal text. Reading a value that is missing, or
// whose text is not a decimal integer, gives the caller's default.
class Settings {
public:
    static inline const QString kGroup = QStringLiteral("1.0");

    // The current user's settings (an INI file under the user's configuration folder here,
    // the registry key "Software\Зоремакс\ORVET-4410" on Windows).
    static Settings forUser();
    // Settings kept in the INI file `path`; tests and tools use this and never touch the
    // user's own settings.
    static Settings inFile(const QString& path);

    int readInteger(const QString& name, int defaultValue, const QString& group = kGroup) const;
    void writeInteger(const QString& name, int value, const QString& group = kGroup) const;
    QString readString(const QString& name, const QString& defaultValue,
                       const QString& group = kGroup) const;
    // Throws SettingsError when the value cannot be stored.
    void writeString(const QString& name, const QString& value,
                     const QString& group = kGroup) const;

    // Where the values are kept, for messages.
    QString location() const;

private:
    explicit Settings(QString file) : file_(std::move(file)) {}
    QString file_;  // empty: the user's native store
};

// Reads `text` as a decimal integer: an optional sign and digits only, within int range.
bool parseDecimal(const QString& text, int* value);

}  // namespace orvet
