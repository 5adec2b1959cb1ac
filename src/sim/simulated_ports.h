#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "core/clock.h"
#include "serial/serial_line.h"
#include "sim/simulator.h"

namespace orvet::sim {

class VirtualUspd;

// A COM port mapping (settings group "Ports") that names the training USPD in place of a
// device: "sim" for a direct line, "sim:modem" for the USPD behind a Hayes modem, each
// optionally followed by settings after spaces: "device=N" (its device number, 1 unless
// given), "firmware=MAJOR.MINOR" (2.25), "connect=MS" (modem: from the dial command to
// "CONNECT", 1000) and "drop-carrier=K" (modem: the line breaks off after K acknowledged
// blocks, to rehearse a lost carrier), for example "sim:modem drop-carrier=3". (Spaces, not commas:
// a comma would make the value of a settings file a list.)
struct SimulatedPort {
    Options options;
    QString error;  // not empty: the mapping names the training USPD but cannot be used
};

// The training USPD `mapping` names; none when it names a device path.
std::optional<SimulatedPort> simulatedPort(const QString& mapping);

// Opens a port whose mapping names the training USPD as that device at the far end of an
// in-process virtual line, with its modem lines (and modem); every other port with the
// opener given. Each opening meets a fresh device. The device keeps the image of each
// complete upload as config.dat in the image folder, and touches no other file.
//
// Lives on the user-interface thread, whose clock paces the line and runs the device, and
// must outlive the port that opens through it.
class SimulatedPorts {
public:
    SimulatedPorts(Clock& clock, QString imageFolder);
    ~SimulatedPorts();
    SimulatedPorts(const SimulatedPorts&) = delete;
    SimulatedPorts& operator=(const SimulatedPorts&) = delete;

    LineOpener opener(LineOpener others);
    // The program's image folder: "orvet-4410-sim" in the system's folder of temporary files.
    static QString defaultImageFolder();
    QString imagePath() const;
    // The device of the last opening, or null.
    VirtualUspd* device();
    // Whether everything the port sent has reached the device of the last opening (true
    // without one). The line moves bytes only as the clock's time goes on, on its thread.
    bool delivered() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace orvet::sim
