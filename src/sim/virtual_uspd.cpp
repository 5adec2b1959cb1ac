#include "sim/virtual_uspd.h"

namespace orvet::sim {

VirtualUspd::VirtualUspd(Clock& pacingClock, Options options)
    : line_(&pacingClock),
      device_(pacingClock, *this, std::move(options)),
      dtrWatch_(pacingClock, device_.modem() ? kDtrPollMs : 0) {
    line_.setOnReceived([this] { device_.receive(line_.takeReceived()); });
    // The line tells nobody of its control lines, so the modem looks at DTR itself.
    dtrWatch_.setOnTimer([this] { device_.setDTR(line_.DTR()); });
    // A modem that is on shows it: data set ready, clear to send.
    if (device_.modem()) {
        line_.setDSR(true);
        line_.setCTS(true);
    }
}

VirtualUspd::~VirtualUspd() {
    line_.setOnReceived({});
}

}  // namespace orvet::sim
