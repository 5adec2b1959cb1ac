#include "serial/virtual_line.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace orvet {

struct VirtualLine::State {
    mutable std::mutex mutex;
    std::condition_variable eventsChanged;
    std::condition_variable writable;

    Clock* clock = nullptr;  // paces the line when set
    std::thread::id clockThread;
    std::int64_t carriedUntil = 0;  // clock time up to which the line has carried bytes
    bool unplugged = false;
    bool nearOpen = false;
    bool nearGone = false;  // the open near end lost its device
    LineSettings settings;
    bool dtr = false, rts = false, brk = false;
    bool cts = false, dsr = false, dcd = false, ring = false;
    bool xoffHeld = false;

    std::deque<char> toNear;  // sent by the far end, not arrived yet
    std::deque<char> nearRx;  // arrived at the near end, not read yet
    std::deque<char> toFar;   // written by the near end, not sent yet
    QByteArray farRx;         // arrived at the far end, not taken yet
    std::int64_t creditToNear = 0;
    std::int64_t creditToFar = 0;

    std::uint32_t latched = 0;
    std::uint32_t errors = 0;
    bool interrupt = false;
    int failingReads = 0, readError = 0;
    int failingWrites = 0, writeError = 0;
    std::function<void()> onReceived;

    bool alive() const { return nearOpen && !nearGone; }

    // Runs `edit` under the lock on the line as it is now (carry()); then, with the lock
    // released, runs the far end's handler if bytes reached the far end meanwhile or `edit`
    // says that they did.
    void change(const std::function<bool()>& edit) {
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex);
            const bool arrived = carry();
            if (edit() || arrived)
                handler = onReceived;
        }
        if (handler)
            handler();
    }

    template <typename T>
    T get(T State::*field) const {
        std::lock_guard lock(mutex);
        return this->*field;
    }

    void latch(std::uint32_t events) {
        if (!alive())
            return;
        latched |= events;
        eventsChanged.notify_all();
    }

    bool outputHeld() const {
        return (settings.control == ccHard && !cts) || (settings.control == ccSoft && xoffHeld);
    }

    // Moves up to `budget` characters from the near end's output queue to the far end.
    int carryToFar(int budget) {
        int moved = 0;
        while (moved < budget && !toFar.empty() && !outputHeld()) {
            farRx.append(toFar.front());
            toFar.pop_front();
            ++moved;
        }
        if (moved > 0) {
            if (toFar.empty())
                latch(EV_TXEMPTY);
            writable.notify_all();
        }
        return moved;
    }

    // Moves up to `budget` characters from the far end into the near end's input queue.
    int carryToNear(int budget) {
        int moved = 0;
        bool received = false;
        while (moved < budget && !toNear.empty()) {
            const char c = toNear.front();
            toNear.pop_front();
            ++moved;
            if (!alive())
                continue;
            if (settings.control == ccSoft && (c == settings.xoffChar || c == settings.xonChar)) {
                xoffHeld = c == settings.xoffChar;
                continue;
            }
            nearRx.push_back(c);
            received = true;
            if (c == settings.eventChar)
                latch(EV_RXFLAG);
        }
        if (received)
            latch(EV_RXCHAR);
        return moved;
    }

    // Moves what the line has carried by now: without pacing everything, at once; with
    // pacing and on the clock's thread, what the clock time since the last move allows, so
    // that a blocking pause of that thread does not stop the line. Other threads see it as of
    // the last move. Returns whether the far end got bytes.
    bool carry() {
        if (clock == nullptr) {
            carryToNear(INT_MAX);
            return carryToFar(INT_MAX) > 0;
        }
        if (std::this_thread::get_id() != clockThread)
            return false;
        const std::int64_t now = clock->nowMs();
        bool arrived = false;
        for (; carriedUntil < now; ++carriedUntil) {
            if (toNear.empty() && (toFar.empty() || outputHeld())) {
                creditToNear = creditToFar = 0;
                carriedUntil = now;
                break;
            }
            arrived = carryOneMillisecond() || arrived;
        }
        return arrived;
    }

    bool carryOneMillisecond() {
        // In 1 ms the line carries baud / 1000 bits; both sides of that are scaled by 2000
        // so that a character's half bits stay whole.
        const std::int64_t perMs = 2LL * settings.baudRate;
        const std::int64_t perChar = 1000LL * halfBitsPerChar(settings);
        auto step = [&](std::int64_t& credit, bool idle, auto move) {
            if (idle) {
                credit = 0;
                return 0;
            }
            credit += perMs;
            const int moved = move(static_cast<int>(credit / perChar));
            credit -= moved * perChar;
            return moved;
        };
        step(creditToNear, toNear.empty(), [this](int n) { return carryToNear(n); });
        return step(creditToFar, toFar.empty() || outputHeld(),
                    [this](int n) { return carryToFar(n); }) > 0;
    }

    void setModemInput(bool& line, bool on, std::uint32_t event) {
        if (line == on)
            return;
        line = on;
        latch(event);
    }
};

class VirtualLine::NearEnd final : public SerialLine {
public:
    explicit NearEnd(std::shared_ptr<State> state) : state_(std::move(state)) {}

    ~NearEnd() override {
        std::lock_guard lock(state_->mutex);
        State& s = *state_;
        s.nearOpen = false;
        s.nearGone = false;
        s.dtr = s.rts = s.brk = false;
        s.nearRx.clear();
        s.latched = 0;
        s.errors = 0;
        s.writable.notify_all();
        s.eventsChanged.notify_all();
    }

    LineSettings settings() const override { return state_->get(&State::settings); }

    int setSettings(const LineSettings& settings) override {
        if (!acceptableLineSettings(settings))
            return -EINVAL;
        int result = 0;
        state_->change([&] {
            if (state_->nearGone) {
                result = -EIO;
                return false;
            }
            state_->settings = settings;
            return state_->carry();
        });
        return result;
    }

    int queued() override {
        return result([](State& s) { return static_cast<int>(s.nearRx.size()); });
    }

    int read(char* data, int max) override {
        return result([&](State& s) {
            if (s.failingReads > 0) {
                --s.failingReads;
                return -s.readError;
            }
            const int n = std::min(max, static_cast<int>(s.nearRx.size()));
            std::copy_n(s.nearRx.begin(), n, data);
            s.nearRx.erase(s.nearRx.begin(), s.nearRx.begin() + n);
            return n;
        });
    }

    int write(const char* data, int len) override {
        int result = 0;
        state_->change([&] {
            State& s = *state_;
            if (s.nearGone) {
                result = -EIO;
                return false;
            }
            if (s.failingWrites > 0) {
                --s.failingWrites;
                result = -s.writeError;
                return false;
            }
            result = std::min(len, kOutputQueue - static_cast<int>(s.toFar.size()));
            s.toFar.insert(s.toFar.end(), data, data + result);
            return s.carry();
        });
        return result;
    }

    void waitWritable(int timeoutMs) override {
        std::unique_lock lock(state_->mutex);
        State& s = *state_;
        s.writable.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&s] {
            return s.nearGone || static_cast<int>(s.toFar.size()) < kOutputQueue;
        });
    }

    int outQueued() override {
        return result([](State& s) { return static_cast<int>(s.toFar.size()); });
    }

    int purge(bool input, bool output) override {
        return result([&](State& s) {
            if (input)
                s.nearRx.clear();
            if (output) {
                s.toFar.clear();
                s.writable.notify_all();
            }
            return 0;
        });
    }

    int setDTR(bool on) override { return setOutput(&State::dtr, on); }
    int setRTS(bool on) override { return setOutput(&State::rts, on); }
    int setBreak(bool on) override { return setOutput(&State::brk, on); }

    int modemStatus() override {
        std::lock_guard lock(state_->mutex);
        const State& s = *state_;
        if (s.nearGone)
            return 0;
        std::uint32_t bits = 0;
        if (s.cts)
            bits |= MS_CTS_ON;
        if (s.dsr)
            bits |= MS_DSR_ON;
        if (s.ring)
            bits |= MS_RING_ON;
        if (s.dcd)
            bits |= MS_RLSD_ON;
        return static_cast<int>(bits);
    }

    LineEvents waitEvents(std::uint32_t mask, int timeoutMs) override {
        state_->change([] { return false; });
        std::unique_lock lock(state_->mutex);
        State& s = *state_;
        auto ready = [&] { return (s.latched & mask) != 0 || (timeoutMs != 0 && s.interrupt); };
        if (timeoutMs < 0) {
            s.eventsChanged.wait(lock, ready);
        } else if (timeoutMs > 0) {
            s.eventsChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        }
        const std::uint32_t hit = s.latched & mask;
        if (hit == 0) {
            if (timeoutMs != 0)
                s.interrupt = false;
            return {};
        }
        LineEvents taken{hit, (hit & EV_ERR) ? s.errors : 0};
        s.latched &= ~hit;
        if (hit & EV_ERR)
            s.errors = 0;
        return taken;
    }

    void interruptWait() override {
        std::lock_guard lock(state_->mutex);
        state_->interrupt = true;
        state_->eventsChanged.notify_all();
    }

private:
    // `use` on the line as it is now; -EIO once its device has gone.
    int result(const std::function<int(State&)>& use) {
        int value = 0;
        state_->change([&] {
            value = state_->nearGone ? -EIO : use(*state_);
            return false;
        });
        return value;
    }

    int setOutput(bool State::*line, bool on) {
        std::lock_guard lock(state_->mutex);
        if (state_->nearGone)
            return -EIO;
        state_.get()->*line = on;
        return 0;
    }

    std::shared_ptr<State> state_;
};

VirtualLine::VirtualLine(Clock* pacingClock) : state_(std::make_shared<State>()) {
    if (pacingClock == nullptr)
        return;
    state_->clock = pacingClock;
    state_->clockThread = std::this_thread::get_id();
    state_->carriedUntil = pacingClock->nowMs();
    pacer_ = std::make_unique<Timer>(*pacingClock, 1);
    pacer_->setOnTimer([state = state_.get()] { state->change([] { return false; }); });
}

VirtualLine::~VirtualLine() = default;

LineOpener VirtualLine::opener() {
    return [state = state_](const QString&, int* error) -> std::unique_ptr<SerialLine> {
        std::lock_guard lock(state->mutex);
        if (state->unplugged) {
            *error = ENOENT;
            return nullptr;
        }
        if (state->nearOpen) {
            *error = EBUSY;
            return nullptr;
        }
        state->nearOpen = true;
        state->nearGone = false;
        state->settings = LineSettings{};
        state->xoffHeld = false;
        state->interrupt = false;
        state->failingReads = state->failingWrites = 0;
        return std::make_unique<NearEnd>(state);
    };
}

QByteArray VirtualLine::takeReceived() {
    QByteArray taken;
    state_->change([&] {
        taken = std::exchange(state_->farRx, QByteArray());
        return false;
    });
    return taken;
}

int VirtualLine::count(const std::function<qsizetype(const State&)>& of) const {
    qsizetype n = 0;
    state_->change([&] {
        n = of(*state_);
        return false;
    });
    return static_cast<int>(n);
}

int VirtualLine::receivedCount() const {
    return count([](const State& s) { return s.farRx.size(); });
}

void VirtualLine::setOnReceived(std::function<void()> handler) {
    std::lock_guard lock(state_->mutex);
    state_->onReceived = std::move(handler);
}

void VirtualLine::send(QByteArrayView bytes) {
    state_->change([&s = *state_, bytes] {
        if (s.unplugged)
            return false;
        s.toNear.insert(s.toNear.end(), bytes.begin(), bytes.end());
        // An XON can release output that then reaches the far end at once.
        return s.carry();
    });
}

int VirtualLine::inFlightToNear() const {
    return count([](const State& s) { return static_cast<qsizetype>(s.toNear.size()); });
}

int VirtualLine::inFlightToFar() const {
    return count([](const State& s) { return static_cast<qsizetype>(s.toFar.size()); });
}

void VirtualLine::setCTS(bool on) {
    state_->change([&s = *state_, on] {
        s.setModemInput(s.cts, on, EV_CTS);
        return s.carry();
    });
}

void VirtualLine::setDSR(bool on) {
    state_->change([&s = *state_, on] {
        s.setModemInput(s.dsr, on, EV_DSR);
        return false;
    });
}

void VirtualLine::setDCD(bool on) {
    state_->change([&s = *state_, on] {
        s.setModemInput(s.dcd, on, EV_RLSD);
        return false;
    });
}

void VirtualLine::setRing(bool on) {
    state_->change([&s = *state_, on] {
        s.setModemInput(s.ring, on, EV_RING);
        return false;
    });
}

bool VirtualLine::DTR() const {
    return state_->get(&State::dtr);
}

bool VirtualLine::RTS() const {
    return state_->get(&State::rts);
}

bool VirtualLine::breakOn() const {
    return state_->get(&State::brk);
}

bool VirtualLine::nearOpen() const {
    return state_->get(&State::nearOpen);
}

LineSettings VirtualLine::nearSettings() const {
    return state_->get(&State::settings);
}

void VirtualLine::raiseLineErrors(std::uint32_t errors) {
    std::lock_guard lock(state_->mutex);
    if (!state_->alive())
        return;
    state_->errors |= errors;
    state_->latch(EV_ERR);
}

void VirtualLine::sendBreak() {
    std::lock_guard lock(state_->mutex);
    state_->latch(EV_BREAK);
}

void VirtualLine::failReads(int count, int error) {
    std::lock_guard lock(state_->mutex);
    state_->failingReads = count;
    state_->readError = error;
}

void VirtualLine::failWrites(int count, int error) {
    std::lock_guard lock(state_->mutex);
    state_->failingWrites = count;
    state_->writeError = error;
}

void VirtualLine::unplug() {
    std::lock_guard lock(state_->mutex);
    State& s = *state_;
    s.unplugged = true;
    if (!s.alive())
        return;
    std::uint32_t events = EV_ERR;
    if (s.cts)
        events |= EV_CTS;
    if (s.dsr)
        events |= EV_DSR;
    if (s.dcd)
        events |= EV_RLSD;
    if (s.ring)
        events |= EV_RING;
    s.errors |= CE_IOE;
    s.latch(events);
    s.nearGone = true;
    s.toNear.clear();
    s.toFar.clear();
    s.writable.notify_all();
}

void VirtualLine::plugIn() {
    std::lock_guard lock(state_->mutex);
    state_->unplugged = false;
}

}  // namespace orvet
