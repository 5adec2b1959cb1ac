#pragma once

#include <cstdint>
#include <initializer_list>

namespace orvet {

enum TBaudRate : int {
    cbr110,
    cbr300,
    cbr600,
    cbr1200,
    cbr2400,
    cbr4800,
    cbr9600,
    cbr14400,
    cbr19200,
    cbr38400,
    cbr56000,
    cbr57600,
    cbr115200,
    cbr128000,
    cbr256000
};

enum TParity : int { paNone, paOdd, paEven, paMark, paSpace };

enum TStopBits : int { sb1_0, sb1_5, sb2_0 };

enum TComControl : int { ccNone, ccSoft, ccHard };

enum TEventState : int {
    evRxChar,
    evRxEventChar,
    evTxEmpty,
    evCTS,
    evDSR,
    evRlsd,
    evBreak,
    evError,
    evRing
};

// A set of TEventState: member i is bit 1 << i, which is also the device event it stands for.
using TEventStates = std::uint32_t;

constexpr TEventStates eventSet(std::initializer_list<TEventState> members) {
    TEventStates set = 0;
    for (TEventState member : members)
        set |= 1u << member;
    return set;
}

// Device events, as a line reports them.
enum CommEvent : std::uint32_t {
    EV_RXCHAR = 0x001,
    EV_RXFLAG = 0x002,
    EV_TXEMPTY = 0x004,
    EV_CTS = 0x008,
    EV_DSR = 0x010,
    EV_RLSD = 0x020,
    EV_BREAK = 0x040,
    EV_ERR = 0x080,
    EV_RING = 0x100
};

// Modem status inputs.
enum ModemStatusBit : std::uint32_t {
    MS_CTS_ON = 0x10,
    MS_DSR_ON = 0x20,
    MS_RING_ON = 0x40,
    MS_RLSD_ON = 0x80
};

// Line errors that come with EV_ERR; OnErrorSignal passes them as its ErrorCode.
enum CommError : std::uint32_t {
    CE_OVERRUN = 0x0002,
    CE_RXPARITY = 0x0004,
    CE_FRAME = 0x0008,
    CE_BREAK = 0x0010,
    CE_IOE = 0x0400  // the device failed or went away
};

// Bit/s of a TBaudRate, 0 for an ordinal outside the table.
int baudOf(TBaudRate rate);
// The TBaudRate of exactly `baud` bit/s; false when the table has no such rate.
bool baudRateOf(int baud, TBaudRate* rate);

// What the device is told about the line (the counterpart of a Win32 device control block).
struct LineSettings {
    int baudRate = 9600;
    int dataBits = 8;
    TParity parity = paNone;
    TStopBits stopBits = sb1_0;
    TComControl control = ccNone;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 1024;
    char xonChar = 17;
    char xoffChar = 19;
    char eventChar = 0;

    bool operator==(const LineSettings&) const = default;
};

// Settings a device can take: a positive speed, 5 to 8 data bits and known enumerators. Any
// data bits / stop bits pair is taken (the port only warns about the odd ones).
bool acceptableLineSettings(const LineSettings& settings);

// Bits one character occupies on the line (start, data, parity, stop), counted in half bits
// so that 1.5 stop bits stay whole.
int halfBitsPerChar(const LineSettings& settings);

}  // namespace orvet
