#include "serial/port_threads.h"

#include "serial/comm_port.h"

namespace orvet {

void TStatusThread::execute() {
    while (!terminated()) {
        LineEvents events = line_.waitEvents(mask_, 0);
        if (events.events == 0) {
            // The pause before every wait that does not complete at once; a close ends it.
            line_.waitEvents(0, TCommPort::kWatchPauseMs);
            if (!terminated())
                events = line_.waitEvents(mask_, -1);
        }
        port_.watchCycle(events);
    }
}

// The reader and the writer test their flag after a pass, never before one: the close's
// wake-up always gets its last pass, even when it comes before the thread first waits.
void TReadThread::execute() {
    do {
        port_.ReadSignal.wait();
        port_.readQueued(this);
    } while (!terminated());
}

void TWriteThread::execute() {
    do {
        port_.WriteSignal.wait();
        port_.writeQueued(this);
    } while (!terminated());
}

void TReadEventThread::execute() {
    while (!terminated()) {
        port_.DataSignal.wait();
        if (terminated())
            break;
        synchronize([this] { port_.deliverData(session_, this); });
    }
}

void TStatusEventThread::execute() {
    while (!terminated()) {
        port_.StatusSignal.wait();
        if (terminated())
            break;
        synchronize([this] { port_.deliverStatus(session_, this); });
    }
}

}  // namespace orvet
