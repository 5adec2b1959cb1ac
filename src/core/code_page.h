#pragma once

#include <QByteArray>
#include <QString>

namespace orvet {

// The single-byte code pages of the device's texts.
enum class CodePage {
    Ansi,  // Windows-1251: initialisation strings
    Oem,   // CP866: module passwords and callback phone numbers
};

// Converts store text to the code page. A character the code page lacks becomes '?', one
// byte, so a text keeps its length in characters (the device slots are fixed-size).
QByteArray toCodePage(const QString& text, CodePage page);
// Converts code page bytes back to text (for showing images); every byte maps to one
// character, a byte without a character becomes U+FFFD.
QString fromCodePage(const QByteArray& bytes, CodePage page);

}  // namespace orvet
