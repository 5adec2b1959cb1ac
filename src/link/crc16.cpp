#include "link/crc16.h"

#include <array>

namespace orvet {
namespace {

// The two byte tables of the Modbus serial line: the high-order and the low-order byte of
// the table-driven CRC. Built once from the polynomial rather than typed in.
struct CrcTables {
    std::array<std::uint8_t, 256> high{};
    std::array<std::uint8_t, 256> low{};
    constexpr CrcTables() {
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            // The running state's first byte is the CRC's low byte: it takes the table's
            // low half XOR the other state byte.
            high[i] = static_cast<std::uint8_t>(crc & 0xFF);
            low[i] = static_cast<std::uint8_t>(crc >> 8);
        }
    }
};

constexpr CrcTables kTables;

}  // namespace

std::uint16_t crc16(const std::uint8_t* data, std::size_t size) {
    std::uint8_t first = 0xFF;   // low byte of the CRC value, sent first
    std::uint8_t second = 0xFF;  // high byte, sent second
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t index = first ^ data[i];
        first = second ^ kTables.high[index];
        second = kTables.low[index];
    }
    return static_cast<std::uint16_t>(first | (second << 8));
}

}  // namespace orvet
