#pragma once

#include <QByteArray>

namespace orvet::sim {

// Where a simulated device (or its modem) sends its bytes and shows its carrier.
class SimLine {
public:
    virtual ~SimLine() = default;
    virtual void write(const QByteArray& bytes) = 0;
    // The modem's carrier (DCD at the configurator's side); lines without modem signals
    // ignore it.
    virtual void setCarrier(bool on) { (void)on; }
    // The device ends the call (a modem connection breaks off); a direct line stays.
    virtual void hangUp() {}
};

}  // namespace orvet::sim
