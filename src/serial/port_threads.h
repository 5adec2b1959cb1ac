#pragma once

#include <cstdint>

#include "core/worker_thread.h"

namespace orvet {

class TCommPort;
class SerialLine;
class WakeSignal;

// The five workers of an open TCommPort. Each loops until it sees its terminated flag; the
// port starts them in the order below and stops them one at a time in the same order.

// Status watcher: waits for device events, at most one completed wait per 50 ms, and
// records them (TCommPort::watchCycle).
class TStatusThread final : public WorkerThread {
public:
    TStatusThread(MainThread& mainThread, TCommPort& port, SerialLine& line, std::uint32_t mask,
                  int pauseMs)
        : WorkerThread(mainThread), port_(port), line_(line), mask_(mask), pauseMs_(pauseMs) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
    SerialLine& line_;
    const std::uint32_t mask_;
    const int pauseMs_;
};

// A byte mover: on its signal, runs one pass of its step. It tests its flag after a pass,
// never before one, so the close's wake-up always gets a last pass, even when it comes before
// the thread first waits.
class PortMover : public WorkerThread {
public:
    using Step = void (TCommPort::*)(const WorkerThread* worker);

protected:
    PortMover(MainThread& mainThread, TCommPort& port, WakeSignal& signal, Step step)
        : WorkerThread(mainThread), port_(port), signal_(signal), step_(step) {}
    void execute() override;

private:
    TCommPort& port_;
    WakeSignal& signal_;
    const Step step_;
};

// A notifier: on its signal, delivers events of one opening of the port through a
// synchronised call, and waits until the handlers have returned.
class PortNotifier : public WorkerThread {
public:
    using Delivery = void (TCommPort::*)(std::uint64_t session, const WorkerThread* from);

protected:
    PortNotifier(MainThread& mainThread, TCommPort& port, WakeSignal& signal, Delivery delivery,
                 std::uint64_t session)
        : WorkerThread(mainThread),
          port_(port),
          signal_(signal),
          delivery_(delivery),
          session_(session) {}
    void execute() override;

private:
    TCommPort& port_;
    WakeSignal& signal_;
    const Delivery delivery_;
    const std::uint64_t session_;
};

// Reader: on ReadSignal, moves what the device holds into the input ring.
class TReadThread final : public PortMover {
public:
    TReadThread(MainThread& mainThread, TCommPort& port);
};

// Writer: on WriteSignal, sends what the output ring holds.
class TWriteThread final : public PortMover {
public:
    TWriteThread(MainThread& mainThread, TCommPort& port);
};

// Data notifier: on DataSignal, raises OnDataReceived on the user-interface thread.
class TReadEventThread final : public PortNotifier {
public:
    TReadEventThread(MainThread& mainThread, TCommPort& port, std::uint64_t session);
};

// Status notifier: on StatusSignal, raises on the user-interface thread the line-event
// handlers of the events that the watcher recorded since the last dispatch.
class TStatusEventThread final : public PortNotifier {
public:
    TStatusEventThread(MainThread& mainThread, TCommPort& port, std::uint64_t session);
};

}  // namespace orvet
