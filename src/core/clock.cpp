#include "core/clock.h"

namespace orvet {

Timer::Timer(Clock& clock, int intervalMs, bool enabled)
    : engine_(clock.createTimerEngine()), interval_(intervalMs), enabled_(enabled) {
}

Timer::~Timer() {
    engine_->stop();
}

void Timer::setInterval(int ms) {
    if (ms == interval_)
        return;
    interval_ = ms;
    update();
}

void Timer::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    update();
}

void Timer::setOnTimer(std::function<void()> handler) {
    onTimer_ = std::move(handler);
    update();
}

void Timer::update() {
    engine_->stop();
    running_ = enabled_ && interval_ > 0 && onTimer_;
    if (!running_)
        return;
    // A copy: the handler may assign another handler while it runs.
    engine_->start(interval_, [this] {
        auto handler = onTimer_;
        if (handler)
            handler();
    });
}

}  // namespace orvet
