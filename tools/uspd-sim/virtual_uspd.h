#pragma once

#include "serial/virtual_line.h"
#include "simulator.h"

namespace orvet::sim {

// The simulated USPD (and its modem) at the far end of an in-process virtual line: what the
// port sends reaches the device, its replies and carrier reach the port.
class VirtualUspd final : private SimLine {
public:
    // `pacingClock`: the line carries bytes at the port's line speed on that clock; the
    // device's own timing runs on it too.
    VirtualUspd(Clock& pacingClock, Options options);
    ~VirtualUspd() override;

    VirtualLine& line() { return line_; }
    UspdSimulator& device() { return device_; }

private:
    void write(const QByteArray& bytes) override { line_.send(bytes); }
    void setCarrier(bool on) override { line_.setDCD(on); }

    VirtualLine line_;
    UspdSimulator device_;
};

}  // namespace orvet::sim
