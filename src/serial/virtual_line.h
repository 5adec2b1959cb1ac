#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/clock.h"
#include "serial/serial_line.h"

namespace orvet {

// An in-process serial cable for tests and for the simulated device. Its near end is a
// SerialLine that a TCommPort opens through opener(); this object is the far end, which a
// test or a simulator (a USPD, a Hayes modem) drives: it takes what the near end sent, sends
// bytes back, drives the near end's modem inputs (CTS, DSR, DCD, RI) and sees its outputs
// (DTR, RTS, break).
//
// Without a clock, bytes cross at once. With one, each direction carries them at the near
// end's line speed (start, data, parity and stop bits of every character) as the clock's
// time goes on: a 1 ms timer of that clock moves them, and so does every call made on the
// clock's thread, so a blocking pause of that thread does not hold the line up. The object
// then belongs to the clock's thread and must be destroyed before the clock. Characters that reach
// a closed near end are lost; what the near end wrote before it closed still reaches the far end.
//
// The near end's output flow control is honoured: under ccHard it sends only while CTS is
// on; under ccSoft an XOFF from the far end stops it and an XON resumes it (both are taken
// out of the data). Input flow control is not simulated.
class VirtualLine {
public:
    // The near end's driver output queue: write() takes no more unsent bytes than this.
    static constexpr int kOutputQueue = 4096;

    explicit VirtualLine(Clock* pacingClock = nullptr);
    ~VirtualLine();
    VirtualLine(const VirtualLine&) = delete;
    VirtualLine& operator=(const VirtualLine&) = delete;

    // Opens the near end whatever the path: EBUSY while it is open, ENOENT while unplugged.
    LineOpener opener();

    // Everything that reached the far end since the last call, oldest first.
    QByteArray takeReceived();
    int receivedCount() const;
    // Runs after bytes reached the far end, with no lock held, on the thread that moved them:
    // the clock's thread when paced, otherwise the thread that wrote to the near end (the
    // port's writer thread, or the user-interface thread when the port runs inline). It must
    // not wait for the user-interface thread.
    void setOnReceived(std::function<void()> handler);
    // Sends towards the near end.
    void send(QByteArrayView bytes);
    // Characters sent by either end that have not arrived yet (only while paced).
    int inFlightToNear() const;
    int inFlightToFar() const;

    void setCTS(bool on);
    void setDSR(bool on);
    void setDCD(bool on);
    void setRing(bool on);
    bool DTR() const;
    bool RTS() const;
    bool breakOn() const;
    bool nearOpen() const;
    LineSettings nearSettings() const;

    // Line faults seen by the near end: errors (CE_* bits) with EV_ERR, a break with EV_BREAK.
    void raiseLineErrors(std::uint32_t errors);
    void sendBreak();
    // The near end's next `count` reads (or writes) fail with the system error `error`.
    void failReads(int count, int error);
    void failWrites(int count, int error);
    // The device vanishes: the open near end fails from now on, and new opens fail until
    // plugIn().
    void unplug();
    void plugIn();

private:
    struct State;
    class NearEnd;
    // A size read on the line as it is now.
    int count(const std::function<qsizetype(const State&)>& of) const;

    std::shared_ptr<State> state_;
    std::unique_ptr<Timer> pacer_;
};

}  // namespace orvet
