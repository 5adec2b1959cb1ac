#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/clock.h"
#include "sim/sim_line.h"

namespace orvet::sim {

// A Hayes modem between the configurator (the terminal) and a device at the far end of a
// telephone line. In command mode it echoes what the terminal types (until ATE0) and answers
// each "AT" line: ATD (ATDP, ATDT) dials and, after the connection time, answers "CONNECT",
// goes online and raises the carrier; ATH hangs up; ATO returns online after an escape;
// ATE0/ATE1 switch the echo off and on; every other command is taken with "OK". Online, what
// the terminal sends goes to the device and what the device sends goes to the terminal; the
// escape "+++" between two guard times of silence leaves the connection up and returns to
// command mode. The connection ends with ATH, with DTR dropping, or when the far end hangs up
// ("NO CARRIER"). Runs on the clock's thread.
class HayesModem final : public SimLine {
public:
    static constexpr int kGuardTimeMs = 1000;
    // The carrier rises this long after "CONNECT": longer than the configurator's 100 ms reply
    // window, so that it has dropped the text (it is no frame of its device) before it sends
    // its first frame on the carrier and the device's reply arrives.
    static constexpr int kConnectLeadMs = 300;

    // `terminal`: where the configurator's side of the modem sends text and shows the
    // carrier. `connectMs`: from the dial command to "CONNECT".
    HayesModem(Clock& clock, SimLine& terminal, int connectMs);
    ~HayesModem() override;

    // Where the device takes what arrives over the connection.
    void setDevice(std::function<void(const QByteArray&)> toDevice) {
        toDevice_ = std::move(toDevice);
    }
    // Bytes the terminal sends.
    void fromTerminal(const QByteArray& bytes);
    // The terminal's DTR: dropping it hangs up.
    void setDTR(bool on);
    bool carrier() const { return carrier_; }
    // What the modem does, for the simulator's log.
    std::function<void(const QString&)> onLog;
    bool online() const { return online_; }
    // What the last dial command dialled ("DT1234"), for tests and the log.
    const QByteArray& dialled() const { return dialled_; }

    // SimLine, the device's side: what it sends over the connection, and its hanging up.
    void write(const QByteArray& bytes) override;
    void hangUp() override;

private:
    enum class Link { Idle, Dialling, Connected };
    void command(const QByteArray& text);
    void result(const char* text);
    void endConnection(const char* text);
    void commandByte(char c);
    void onlineBytes(const QByteArray& bytes);
    void log(const QString& text);

    Clock& clock_;
    SimLine& terminal_;
    std::function<void(const QByteArray&)> toDevice_;
    const int connectMs_;
    Timer dial_;
    Timer escape_;
    Link link_ = Link::Idle;
    bool carrier_ = false;
    bool online_ = false;
    bool echo_ = true;
    bool dtr_ = true;
    QByteArray commandLine_;
    QByteArray dialled_;
    int pluses_ = 0;  // escape characters after a guard time
    std::int64_t lastOnlineByteMs_ = -kGuardTimeMs;
};

}  // namespace orvet::sim
