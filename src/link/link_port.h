#pragma once

#include <QByteArray>

namespace orvet {

// What the device link needs of the serial port: the upload exchange talks to the line only
// through this, so that it runs the same over the real port and in tests.
class LinkPort {
public:
    virtual ~LinkPort() = default;
    virtual bool isOpen() const = 0;
    // Flushes the output buffer and queues `frame` as one write.
    virtual void sendFrame(const QByteArray& frame) = 0;
    // Queues text for the modem (the dial command).
    virtual void sendText(const QByteArray& text) = 0;
    // The unread bytes at the start of the input buffer.
    virtual QByteArray received() const = 0;
    // Empties the input buffer and sets its read position to 0.
    virtual void flushInput() = 0;
    virtual void flushOutput() = 0;
    virtual void setDTR(bool on) = 0;
    virtual void close() = 0;
};

}  // namespace orvet
