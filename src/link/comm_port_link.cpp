#include "link/comm_port_link.h"

#include <cstring>

namespace orvet {

void CommPortLink::sendFrame(const QByteArray& frame) {
    port_.FlushOutBuffer();
    port_.OutBuffPos = 0;
    char* out = port_.OutBuff();
    // The rings exist only once the port has been opened; a frame for a port that never
    // opened goes nowhere, as the device would not hear it either.
    if (!out || static_cast<std::uint32_t>(frame.size()) > port_.OutSize())
        return;
    std::memcpy(out, frame.constData(), frame.size());
    port_.PutBlock(out, frame.size());
}

void CommPortLink::sendText(const QByteArray& text) {
    port_.PutString(text.constData());
}

QByteArray CommPortLink::received() const {
    const char* in = port_.InBuff();
    if (!in)
        return {};
    // A reply is read in place from the start of the ring, where flushInput() put the read
    // position; bytes beyond the ring's end are not there.
    return QByteArray(in + port_.InBuffPos, static_cast<qsizetype>(port_.InBuffRun()));
}

void CommPortLink::flushInput() {
    port_.FlushInBuffer();
    port_.InBuffPos = 0;
}

}  // namespace orvet
