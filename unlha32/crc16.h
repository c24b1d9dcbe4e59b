#pragma once
// CRC-16/ARC (polynomial 0x8005 reflected as 0xA001, initial value 0), the check value every
// LZH member header carries for its original data.

#include <cstddef>
#include <cstdint>

namespace unlha {

// The CRC of `size` more bytes after data whose CRC was `crc` (0 to start).
uint16_t UpdateCrc16(uint16_t crc, const unsigned char* data, size_t size);

}  // namespace unlha
