#pragma once

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
    // The exchange has ended while a question was open (the port went away, the carrier was
    // lost): the question no longer counts and its box, if any, is closed.
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
