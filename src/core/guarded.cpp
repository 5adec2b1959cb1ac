#include "core/guarded.h"

#include <exception>

namespace orvet {

bool guarded(MessageBoxes& messages, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        messages.error(QString::fromUtf8(error.what()), QStringLiteral("Ошибка"));
    }
    return false;
}

}  // namespace orvet
