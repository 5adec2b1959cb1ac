#pragma once

#include "core/main_thread.h"

namespace orvet {

// Runs queued worker calls from the Qt event loop of the thread that created it.
class QtMainThread final : public MainThread {
protected:
    void wake() override;
};

}  // namespace orvet
