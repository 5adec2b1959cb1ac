#pragma once

#include "core/settings.h"

namespace orvet {

// The two per-user settings that shape every upload.
struct LinkSettings {
    static constexpr int kDefaultPakLen = 255;
    static constexpr int kDefaultTOAnswer = 2000;
    static constexpr int kMaxPakLen = 1024;

    int PakLen = kDefaultPakLen;      // image bytes per 'T' frame
    int TOAnswer = kDefaultTOAnswer;  // reply time-out, ms

    // Reads "PakLen" and "TOAnswer" from group "1.0"; missing or non-decimal values give the
    // defaults. No range check: the exchange checks before it starts.
    static LinkSettings load(const Settings& settings);
};

}  // namespace orvet
