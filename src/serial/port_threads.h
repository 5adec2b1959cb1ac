#pragma once

#include <cstdint>

#include "core/worker_thread.h"

namespace orvet {

class TCommPort;
class SerialLine;

// The five workers of an open TCommPort. Each loops until it sees its terminated flag; the
// port starts them in this order and stops them one at a time in the same order.

// Status watcher: waits for device events, at most one completed wait per 50 ms, and
// records them (TCommPort::watchCycle).
class TStatusThread final : public WorkerThread {
public:
    TStatusThread(MainThread& mainThread, TCommPort& port, SerialLine& line, std::uint32_t mask)
        : WorkerThread(mainThread), port_(port), line_(line), mask_(mask) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
    SerialLine& line_;
    const std::uint32_t mask_;
};

// Reader: on ReadSignal, moves what the device holds into the input ring.
class TReadThread final : public WorkerThread {
public:
    TReadThread(MainThread& mainThread, TCommPort& port) : WorkerThread(mainThread), port_(port) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
};

// Writer: on WriteSignal, sends what the output ring holds.
class TWriteThread final : public WorkerThread {
public:
    TWriteThread(MainThread& mainThread, TCommPort& port) : WorkerThread(mainThread), port_(port) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
};

// Data notifier: on DataSignal, raises OnDataReceived on the user-interface thread.
class TReadEventThread final : public WorkerThread {
public:
    TReadEventThread(MainThread& mainThread, TCommPort& port, std::uint64_t session)
        : WorkerThread(mainThread), port_(port), session_(session) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
    const std::uint64_t session_;
};

// Status notifier: on StatusSignal, raises on the user-interface thread the line-event
// handlers of the events that the watcher recorded since the last dispatch.
class TStatusEventThread final : public WorkerThread {
public:
    TStatusEventThread(MainThread& mainThread, TCommPort& port, std::uint64_t session)
        : WorkerThread(mainThread), port_(port), session_(session) {}

protected:
    void execute() override;

private:
    TCommPort& port_;
    const std::uint64_t session_;
};

}  // namespace orvet
