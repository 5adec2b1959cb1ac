#include "serial/comm_types.h"

#include <array>

namespace orvet {
namespace {

constexpr std::array<int, 15> kBaudTable = {110,   300,   600,    1200,   2400,
                                            4800,  9600,  14400,  19200,  38400,
                                            56000, 57600, 115200, 128000, 256000};

}  // namespace

int baudOf(TBaudRate rate) {
    const int ordinal = static_cast<int>(rate);
    if (ordinal < 0 || ordinal >= static_cast<int>(kBaudTable.size()))
        return 0;
    return kBaudTable[static_cast<std::size_t>(ordinal)];
}

bool baudRateOf(int baud, TBaudRate* rate) {
    for (std::size_t i = 0; i < kBaudTable.size(); ++i) {
        if (kBaudTable[i] == baud) {
            *rate = static_cast<TBaudRate>(i);
            return true;
        }
    }
    return false;
}

bool acceptableLineSettings(const LineSettings& s) {
    return s.baudRate > 0 && s.dataBits >= 5 && s.dataBits <= 8 && s.parity >= paNone &&
           s.parity <= paSpace && s.stopBits >= sb1_0 && s.stopBits <= sb2_0 &&
           s.control >= ccNone && s.control <= ccHard;
}

int halfBitsPerChar(const LineSettings& s) {
    const int parityBits = s.parity == paNone ? 0 : 1;
    const int stopHalfBits = s.stopBits == sb1_0 ? 2 : s.stopBits == sb1_5 ? 3 : 4;
    return 2 * (1 + s.dataBits + parityBits) + stopHalfBits;
}

}  // namespace orvet
