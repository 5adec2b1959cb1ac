#pragma once

#include <cstdint>
#include <vector>

#include "core/clock.h"

namespace orvet {

// A deterministic clock for tests: time moves only through advance() and pause().
// Use it on one thread only (the test's user-interface thread).
class TestClock final : public Clock {
public:
    TestClock();
    ~TestClock() override;

    std::int64_t nowMs() const override { return now_; }
    std::unique_ptr<TimerEngine> createTimerEngine() override;
    // Moves time forward without firing timers, as a blocked user-interface thread would;
    // timers that fall due meanwhile fire at the next advance().
    void pause(int ms) override;

    // Moves time forward by `ms`, firing every tick that falls due on the way in time
    // order (ticks due at the same moment fire in the order their timers were started).
    // A handler may start, stop or retime timers; the change takes effect at once. A
    // handler's pause() moves time on as well; ticks it skips fire once, late.
    void advance(std::int64_t ms);
    // Every pause() so far, in order, in ms.
    const std::vector<int>& pauses() const { return pauses_; }
    // Timers that are counting now.
    int activeTimers() const;

private:
    class Engine;
    friend class Engine;
    struct Entry {
        Engine* engine;
        std::int64_t due;
        std::uint64_t order;
    };
    void schedule(Engine* engine, std::int64_t due);
    void unschedule(Engine* engine);

    std::int64_t now_ = 0;
    std::uint64_t nextOrder_ = 0;
    std::vector<Entry> entries_;
    std::vector<int> pauses_;
};

}  // namespace orvet
