#include "core/conversion.h"

#include "core/settings.h"

namespace orvet {

int strToInt(const QString& text) {
    int value = 0;
    if (!parseDecimal(text.trimmed(), &value)) {
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
    return value;
}

}  // namespace orvet
