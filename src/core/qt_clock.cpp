#include "core/qt_clock.h"

#include <QThread>
#include <QTimer>

namespace orvet {
namespace {

class QtTimerEngine final : public TimerEngine {
public:
    QtTimerEngine() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto fire = fire_;
            if (fire)
                fire();
        });
    }
    void start(int intervalMs, std::function<void()> fire) override {
        fire_ = std::move(fire);
        timer_.start(intervalMs);
    }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
    std::function<void()> fire_;
};

}  // namespace

QtClock::QtClock() {
    elapsed_.start();
}

std::int64_t QtClock::nowMs() const {
    return elapsed_.elapsed();
}

std::unique_ptr<TimerEngine> QtClock::createTimerEngine() {
    return std::make_unique<QtTimerEngine>();
}

void QtClock::pause(int ms) {
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace orvet
