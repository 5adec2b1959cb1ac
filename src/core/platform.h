#pragma once

#include "core/clock.h"
#include "core/main_thread.h"
#include "core/message_boxes.h"
#include "core/settings.h"

namespace orvet {

// The services of the host that the program's components use; the program passes the Qt
// ones, tests pass deterministic ones (a test clock, scripted message boxes, settings in a
// temporary file).
struct Platform {
    Clock& clock;
    MainThread& mainThread;
    MessageBoxes& messages;
    Settings settings;
};

}  // namespace orvet
