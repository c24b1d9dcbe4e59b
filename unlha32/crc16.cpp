#include "crc16.h"

#include <array>

namespace unlha {

namespace {

// Slicing by eight: table k gives the CRC of a byte followed by k zero bytes, so eight input
// bytes cost eight independent look-ups instead of a chain of eight.
using Tables = std::array<std::array<uint16_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        uint16_t crc = static_cast<uint16_t>(byte);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        t[0][byte] = crc;
    }
    for (size_t k = 1; k < t.size(); ++k)
        for (unsigned byte = 0; byte < 256; ++byte)
            t[k][byte] = static_cast<uint16_t>((t[k - 1][byte] >> 8) ^ t[0][t[k - 1][byte] & 0xFF]);
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

uint16_t UpdateCrc16(uint16_t crc, const unsigned char* data, size_t size) {
    const auto& t = kTables;
    for (; size >= 8; size -= 8, data += 8) {
        const unsigned low = (crc ^ data[0]) & 0xFF;
        const unsigned high = ((crc >> 8) ^ data[1]) & 0xFF;
        crc = static_cast<uint16_t>(t[7][low] ^ t[6][high] ^ t[5][data[2]] ^ t[4][data[3]] ^ t[3][data[4]] ^
                                    t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]]);
    }
    for (; size > 0; --size, ++data) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data) & 0xFF]);
    return crc;
}

}  // namespace unlha
