#pragma once

#include <cstddef>
#include <cstdint>

namespace orvet {

// CRC-16/MODBUS over `size` bytes: polynomial 0xA001 reflected, initial 0xFFFF, no final
// XOR. The frame carries the value low byte first.
std::uint16_t crc16(const std::uint8_t* data, std::size_t size);

}  // namespace orvet
