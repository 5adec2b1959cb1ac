#include "core/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <QList>

#include <stdexcept>

namespace orvet {
namespace {

const char* iconvName(CodePage page) {
    return page == CodePage::Ansi ? "CP1251" : "CP866";
}

// One open conversion descriptor, closed on scope exit.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        // iconv_open() signals a failure with the descriptor (iconv_t)-1.
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts one unit of input; false when the target has no such character.
    bool convert(const char* in, size_t inSize, char* out, size_t* outSize) {
        char* inPtr = const_cast<char*>(in);
        char* outPtr = out;
        size_t outLeft = *outSize;
        const size_t rc = iconv(cd_, &inPtr, &inSize, &outPtr, &outLeft);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
        *outSize -= outLeft;
        return rc != static_cast<size_t>(-1) && inSize == 0;
    }

private:
    iconv_t cd_;
};

}  // namespace

QByteArray toCodePage(const QString& text, CodePage page) {
    Converter converter(iconvName(page), "UTF-32LE");
    QByteArray result;
    result.reserve(text.size());
    // Character by character, so that one unknown character costs exactly one '?'.
    for (const uint ch : text.toUcs4()) {
        const char in[4] = {static_cast<char>(ch & 0xFF), static_cast<char>((ch >> 8) & 0xFF),
                            static_cast<char>((ch >> 16) & 0xFF),
                            static_cast<char>((ch >> 24) & 0xFF)};
        char out[8];
        size_t outSize = sizeof out;
        if (converter.convert(in, sizeof in, out, &outSize) && outSize == 1) {
            result.append(out[0]);
        } else {
            result.append('?');
        }
    }
    return result;
}

QString fromCodePage(const QByteArray& bytes, CodePage page) {
    Converter converter("UTF-32LE", iconvName(page));
    QString result;
    result.reserve(bytes.size());
    for (const char byte : bytes) {
        char out[8];
        size_t outSize = sizeof out;
        if (converter.convert(&byte, 1, out, &outSize) && outSize == 4) {
            const char32_t ch = static_cast<unsigned char>(out[0]) |
                                (static_cast<unsigned char>(out[1]) << 8) |
                                (static_cast<unsigned char>(out[2]) << 16) |
                                (static_cast<char32_t>(static_cast<unsigned char>(out[3])) << 24);
            result.append(QString::fromUcs4(&ch, 1));
        } else {
            result.append(QChar(0xFFFD));
        }
    }
    return result;
}

}  // namespace orvet
