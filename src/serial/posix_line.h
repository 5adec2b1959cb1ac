#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "serial/serial_line.h"

namespace orvet {

// A serial device of the host: termios in raw mode, non-blocking descriptor, exclusive
// (TIOCEXCL and an advisory lock, which also keeps out a second program run as root).
// Events are found by poll() and, for what poll cannot see (modem lines, line error
// counters, the output queue running empty), by looking again every few milliseconds while
// there is something to look for.
class PosixLine final : public SerialLine {
public:
    // The opener of host devices (a LineOpener).
    static std::unique_ptr<SerialLine> open(const QString& path, int* error);
    ~PosixLine() override;

    LineSettings settings() const override;
    int setSettings(const LineSettings& settings) override;
    int queued() override;
    int read(char* data, int max) override;
    int write(const char* data, int len) override;
    void waitWritable(int timeoutMs) override;
    int outQueued() override;
    int purge(bool input, bool output) override;
    int setDTR(bool on) override;
    int setRTS(bool on) override;
    int setBreak(bool on) override;
    int modemStatus() override;
    LineEvents waitEvents(std::uint32_t mask, int timeoutMs) override;
    void interruptWait() override;

private:
    struct Counters {
        std::uint32_t breaks = 0;
        std::uint32_t frame = 0;
        std::uint32_t overrun = 0;
        std::uint32_t parity = 0;
    };

    PosixLine(int fd, int wakeRead, int wakeWrite);
    int setModemLine(int bit, bool on);
    // Failure of a device call: marks the device gone when the error says so.
    int failure(int error);
    void markLostLocked();
    // Latches the events that appeared since the last look; returns the bytes queued.
    int sampleLocked();
    bool readCounters(Counters* counters) const;
    bool drainWake();

    const int fd_;
    const int wakeRead_;
    const int wakeWrite_;
    bool hasModemLines_ = false;
    bool hasCounters_ = false;
    std::atomic<bool> lost_{false};

    mutable std::mutex mutex_;  // guards what follows; never held across a wait
    LineSettings settings_;
    std::uint64_t consumed_ = 0;     // bytes read so far
    std::uint64_t seenArrived_ = 0;  // bytes known to have arrived at the last look
    std::uint32_t lastModem_ = 0;
    Counters lastCounters_;
    bool txPending_ = false;  // written since the output queue was last seen empty
    std::uint32_t latched_ = 0;
    std::uint32_t errors_ = 0;
};

}  // namespace orvet
