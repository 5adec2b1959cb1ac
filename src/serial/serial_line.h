#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/comm_types.h"

namespace orvet {

// Events taken by one wait, with the line errors (CE_*) that came with EV_ERR.
struct LineEvents {
    std::uint32_t events = 0;
    std::uint32_t errors = 0;
};

// One open serial device. The port's worker threads and its user-interface thread call it at
// the same time, so every implementation is thread-safe. Every call returns at once except
// waitEvents() and waitWritable(). An int result below 0 is a failure: the negated system
// error code (errno). Destroying the line closes the device.
//
// A device without modem lines (a pseudo-terminal) reports them all off and takes DTR and
// RTS changes without failing. A device that has gone away (a USB adapter pulled out) fails
// its reads and writes, reports its modem lines off, reports EV_ERR with CE_IOE once and
// then no more events, so that no caller spins on it.
class SerialLine {
public:
    virtual ~SerialLine() = default;

    // The settings the device holds now.
    virtual LineSettings settings() const = 0;
    // 0, or a failure with the previous settings kept.
    virtual int setSettings(const LineSettings& settings) = 0;

    // Bytes received and not yet read.
    virtual int queued() = 0;
    // Reads up to `max` bytes that have already arrived; 0 when none have.
    virtual int read(char* data, int max) = 0;
    // Takes up to `len` bytes for sending; 0 when output is held back (flow control, a full
    // output queue or a peer that does not read).
    virtual int write(const char* data, int len) = 0;
    // Waits until write() may take bytes again, at most `timeoutMs`.
    virtual void waitWritable(int timeoutMs) = 0;
    // Bytes taken by write() and not yet sent.
    virtual int outQueued() = 0;
    // Discards what was received and not read, what was written and not sent, or both.
    virtual int purge(bool input, bool output) = 0;

    virtual int setDTR(bool on) = 0;
    virtual int setRTS(bool on) = 0;
    virtual int setBreak(bool on) = 0;
    // MS_* bits of the modem status inputs now.
    virtual int modemStatus() = 0;

    // Events (EV_*) are latched as they happen. Waits until one in `mask` is latched, then
    // takes those and returns them. Returns none when `timeoutMs` passes first (0: only look,
    // -1: no limit) or when interruptWait() is called; an interrupt that finds no wait in
    // progress ends the next wait that has a time-out other than 0. One thread waits at a
    // time.
    virtual LineEvents waitEvents(std::uint32_t mask, int timeoutMs) = 0;
    virtual void interruptWait() = 0;
};

// Opens the device at `path` exclusively: the line, or null with the system error code in
// `*error`.
using LineOpener = std::function<std::unique_ptr<SerialLine>(const QString& path, int* error)>;

}  // namespace orvet
