#include "link/upload_decisions.h"

#include "core/texts.h"

namespace orvet {

bool MessageBoxDecisions::acceptFirmware(int major, int minor) {
    return messages_.question(texts::unsupportedFirmware(major, minor), texts::kAttention,
                              QuestionIcon::Warning);
}

bool MessageBoxDecisions::restartDevice() {
    return messages_.question(texts::kAskRestart, texts::kConfirm);
}

bool MessageBoxDecisions::clearArchives() {
    return messages_.question(texts::kAskClearArchives, texts::kConfirm);
}

}  // namespace orvet
