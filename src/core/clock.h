#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace orvet {

// One repeating tick source of a clock; the Timer class drives it.
class TimerEngine {
public:
    virtual ~TimerEngine() = default;
    // (Re)starts the engine: `fire` runs every `intervalMs` from now on, until stop().
    virtual void start(int intervalMs, std::function<void()> fire) = 0;
    virtual void stop() = 0;
};

// The time source of the user-interface thread: timers and the blocking pause.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
    virtual std::unique_ptr<TimerEngine> createTimerEngine() = 0;
    // Blocks the calling (user-interface) thread for `ms`; no timer fires meanwhile.
    virtual void pause(int ms) = 0;
};

// A timer with the semantics the device link relies on: it ticks while it is enabled,
// its interval is above 0 and it has a handler. Assigning the interval it already has
// changes nothing; a different interval restarts the count from now; interval 0 stops it
// (it starts again when a positive interval is assigned). Enabling an enabled timer does
// not restart it.
class Timer {
public:
    explicit Timer(Clock& clock, int intervalMs = 1000, bool enabled = true);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    int interval() const { return interval_; }
    void setInterval(int ms);
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    void setOnTimer(std::function<void()> handler);
    // True while the timer is counting towards its next tick.
    bool running() const { return running_; }

private:
    void update();

    std::unique_ptr<TimerEngine> engine_;
    std::function<void()> onTimer_;
    int interval_;
    bool enabled_;
    bool running_ = false;
};

}  // namespace orvet
