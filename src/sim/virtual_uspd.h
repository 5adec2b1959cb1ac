#pragma once

#include "serial/virtual_line.h"
#include "sim/simulator.h"

namespace orvet::sim {

// The simulated USPD (and its modem) at the far end of an in-process virtual line: what the
// port sends reaches the device, its replies and carrier reach the port, and the port's DTR
// reaches the modem, which keeps DSR and CTS on. Lives on the clock's thread.
class VirtualUspd final : private SimLine {
public:
    // The modem sees a change of DTR within this long.
    static constexpr int kDtrPollMs = 10;

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
    Timer dtrWatch_;
};

}  // namespace orvet::sim
