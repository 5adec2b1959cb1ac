#include "core/guarded.h"

#include <exception>

#include "core/texts.h"

namespace orvet {

bool guarded(MessageBoxes& messages, const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        messages.error(QString::fromUtf8(error.what()), texts::kError);
    }
    return false;
}

}  // namespace orvet
