#include "serial/port_threads.h"

#include <functional>

#include "serial/comm_port.h"

namespace orvet {

void TStatusThread::execute() {
    while (!terminated()) {
        LineEvents events = line_.waitEvents(mask_, 0);
        if (events.events == 0) {
            // The pause before every wait that does not complete at once; a close ends it.
            line_.waitEvents(0, pauseMs_);
            if (!terminated())
                events = line_.waitEvents(mask_, -1);
        }
        port_.watchCycle(events);
    }
}

void PortMover::execute() {
    do {
        signal_.wait();
        std::invoke(step_, port_, this);
    } while (!terminated());
}

void PortNotifier::execute() {
    while (!terminated()) {
        signal_.wait();
        if (terminated())
            break;
        synchronize([this] { std::invoke(delivery_, port_, session_, this); });
    }
}

TReadThread::TReadThread(MainThread& mainThread, TCommPort& port)
    : PortMover(mainThread, port, port.ReadSignal, &TCommPort::readQueued) {
}

TWriteThread::TWriteThread(MainThread& mainThread, TCommPort& port)
    : PortMover(mainThread, port, port.WriteSignal, &TCommPort::writeQueued) {
}

TReadEventThread::TReadEventThread(MainThread& mainThread, TCommPort& port, std::uint64_t session)
    : PortNotifier(mainThread, port, port.DataSignal, &TCommPort::deliverData, session) {
}

TStatusEventThread::TStatusEventThread(MainThread& mainThread, TCommPort& port,
                                       std::uint64_t session)
    : PortNotifier(mainThread, port, port.StatusSignal, &TCommPort::deliverStatus, session) {
}

}  // namespace orvet
