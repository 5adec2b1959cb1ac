#include "support/test_clock.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>

namespace orvet {

class TestClock::Engine final : public TimerEngine {
public:
    explicit Engine(TestClock& clock) : clock_(clock) {}
    ~Engine() override { stop(); }

    void start(int intervalMs, std::function<void()> fire) override {
        interval_ = intervalMs;
        fire_ = std::move(fire);
        clock_.schedule(this, clock_.now_ + intervalMs);
    }
    void stop() override { clock_.unschedule(this); }

    int interval_ = 0;
    std::function<void()> fire_;

private:
    TestClock& clock_;
};

TestClock::TestClock() = default;

TestClock::~TestClock() {
    assert(entries_.empty() && "timers outlived their test clock");
}

std::unique_ptr<TimerEngine> TestClock::createTimerEngine() {
    return std::make_unique<Engine>(*this);
}

void TestClock::pause(int ms) {
    if (ms < 0)
        throw std::invalid_argument("TestClock::pause: negative time");
    pauses_.push_back(ms);
    now_ += ms;
}

void TestClock::schedule(Engine* engine, std::int64_t due) {
    unschedule(engine);
    entries_.push_back({engine, due, nextOrder_++});
}

void TestClock::unschedule(Engine* engine) {
    std::erase_if(entries_, [engine](const Entry& e) { return e.engine == engine; });
}

int TestClock::activeTimers() const {
    return static_cast<int>(entries_.size());
}

void TestClock::advance(std::int64_t ms) {
    if (ms < 0)
        throw std::invalid_argument("TestClock::advance: negative time");
    const std::int64_t target = now_ + ms;
    for (;;) {
        auto next =
            std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
        if (next == entries_.end() || next->due > target)
            break;
        Engine* engine = next->engine;
        // An overdue tick (after a pause) fires once, now, and the count restarts from now.
        now_ = std::max(now_, next->due);
        next->due = now_ + engine->interval_;
        next->order = nextOrder_++;
        auto fire = engine->fire_;
        fire();
    }
    // A handler's pause() may already have carried time past the target.
    now_ = std::max(now_, target);
}

}  // namespace orvet
