#pragma once

#include <QElapsedTimer>

#include "core/clock.h"

namespace orvet {

// The program's clock: QTimer ticks on the thread's event loop, real sleeps.
class QtClock final : public Clock {
public:
    QtClock();
    std::int64_t nowMs() const override;
    std::unique_ptr<TimerEngine> createTimerEngine() override;
    void pause(int ms) override;

private:
    QElapsedTimer elapsed_;
};

}  // namespace orvet
