#include "virtual_uspd.h"

namespace orvet::sim {

VirtualUspd::VirtualUspd(Clock& pacingClock, Options options)
    : line_(&pacingClock), device_(pacingClock, *this, std::move(options)) {
    line_.setOnReceived([this] { device_.receive(line_.takeReceived()); });
}

VirtualUspd::~VirtualUspd() {
    line_.setOnReceived({});
}

}  // namespace orvet::sim
