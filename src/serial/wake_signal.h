#pragma once

#include <condition_variable>
#include <mutex>

namespace orvet {

// A wake-up flag between threads, like a Win32 event: set() wakes a waiter; an auto-reset
// signal is cleared by the wait that it ends, a manual-reset one stays set until reset().
class WakeSignal {
public:
    enum class Reset { Auto, Manual };
    explicit WakeSignal(Reset reset) : manual_(reset == Reset::Manual) {}

    void set() {
        {
            std::lock_guard lock(mutex_);
            set_ = true;
        }
        changed_.notify_all();
    }
    void reset() {
        std::lock_guard lock(mutex_);
        set_ = false;
    }
    // Blocks until the signal is set.
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return set_; });
        if (!manual_)
            set_ = false;
    }
    // Whether the signal is set, without waiting; takes it as wait() would.
    bool take() {
        std::lock_guard lock(mutex_);
        const bool was = set_;
        if (!manual_)
            set_ = false;
        return was;
    }

private:
    const bool manual_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

}  // namespace orvet
