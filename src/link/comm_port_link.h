#pragma once

#include "link/link_port.h"
#include "serial/comm_port.h"

namespace orvet {

// The device link over the serial port component: frames are built in the port's output
// ring from its start and replies read in place from the start of its input ring.
class CommPortLink final : public LinkPort {
public:
    explicit CommPortLink(TCommPort& port) : port_(port) {}

    bool isOpen() const override { return port_.Open(); }
    void sendFrame(const QByteArray& frame) override;
    void sendText(const QByteArray& text) override;
    QByteArray received() const override;
    void flushInput() override;
    void flushOutput() override { port_.FlushOutBuffer(); }
    void setDTR(bool on) override { port_.SetDTR(on); }
    void close() override { port_.SetOpen(false); }

private:
    TCommPort& port_;
};

}  // namespace orvet
