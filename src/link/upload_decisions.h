#pragma once

#include <functional>

#include "core/message_boxes.h"

namespace orvet {

// The choices an upload leaves to its user. The window asks them in message boxes; orvet-cli
// answers them from its flags; tests script them.
class UploadDecisions {
public:
    virtual ~UploadDecisions() = default;
    // The device runs firmware `major`.`minor`, which this configurator does not support: go
    // on all the same?
    virtual bool acceptFirmware(int major, int minor) = 0;
    // The image is delivered: restart the device?
    virtual bool restartDevice() = 0;
    // The device is about to restart: clear all its archives?
    virtual bool clearArchives() = 0;
    // Shows a notice about the exchange (a garbled reply, a refused password) by running
    // `show`; the exchange goes on behind it.
    virtual void notice(const std::function<void()>& show) { show(); }
    // The exchange has moved past what is open (a notice it has got over, or a question while
    // the port went away or the carrier was lost): the question no longer counts and the
    // boxes, if any, are closed.
    virtual void withdraw() {}
};

// Asks the user with the program's question boxes.
class MessageBoxDecisions final : public UploadDecisions {
public:
    explicit MessageBoxDecisions(MessageBoxes& messages) : messages_(messages) {}

    bool acceptFirmware(int major, int minor) override;
    bool restartDevice() override;
    bool clearArchives() override;

private:
    MessageBoxes& messages_;
};

}  // namespace orvet
