#include "sequencer/rcpexclusive.h"

#include <algorithm>
#include <initializer_list>

namespace kyro::rcp {

namespace {

constexpr std::uint8_t kPlaceP1 = 0x80;
constexpr std::uint8_t kPlaceP2 = 0x81;
constexpr std::uint8_t kPlaceChannel = 0x82;
constexpr std::uint8_t kChecksumStart = 0x83;
constexpr std::uint8_t kChecksum = 0x84;

bool AllData(std::initializer_list<std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; });
}

std::vector<std::uint8_t> Message(std::initializer_list<std::uint8_t> body) {
    if (!AllData(body)) return {};
    std::vector<std::uint8_t> m{0xF0};
    m.insert(m.end(), body);
    m.push_back(0xF7);
    return m;
}

}  // namespace

std::vector<std::uint8_t> BuildExclusive(const std::uint8_t* stored, std::size_t size, std::uint8_t p1,
                                         std::uint8_t p2, std::uint8_t channel) {
    std::vector<std::uint8_t> m{0xF0};
    unsigned sum = 0;
    for (std::size_t i = 0; i < size && stored[i] != 0xF7; ++i) {
        std::uint8_t out = stored[i];
        switch (stored[i]) {
        case kPlaceP1: out = p1 & 0x7F; break;
        case kPlaceP2: out = p2 & 0x7F; break;
        case kPlaceChannel: out = channel & 0x0F; break;
        case kChecksumStart:
            sum = 0;
            continue;
        case kChecksum: out = (128 - sum % 128) % 128; break;  // never 0x80 when the sum is a multiple of 128
        default:
            if (out >= 0x80) return {};  // an undefined placeholder: what it stands for is unknown
        }
        sum += out;
        m.push_back(out);
        if (m.size() >= kMaxExclusiveBytes) return {};
    }
    m.push_back(0xF7);
    return m;
}

std::vector<std::uint8_t> RolandParameter(const ParameterTarget& t, std::uint8_t p1, std::uint8_t p2) {
    if (!AllData({t.device, t.model, t.addressHigh, t.addressMiddle, p1, p2})) return {};
    const std::uint8_t sum = (128 - (t.addressHigh + t.addressMiddle + p1 + p2) % 128) % 128;
    return Message({0x41, t.device, t.model, 0x12, t.addressHigh, t.addressMiddle, p1, p2, sum});
}

std::vector<std::uint8_t> YamahaParameter(const ParameterTarget& t, std::uint8_t p1, std::uint8_t p2) {
    return Message({0x43, t.device, t.model, t.addressHigh, t.addressMiddle, p1, p2});
}

std::vector<std::uint8_t> FixedExclusive(std::uint8_t code, const ParameterTarget& yamaha, std::uint8_t channel,
                                         std::uint8_t p1, std::uint8_t p2) {
    const std::uint8_t c = channel & 0x0F;
    const std::uint8_t toChannel = 0x10 | c;  // Yamaha's "parameter change" with the device number
    switch (code) {
    case 0xC0: return Message({0x43, toChannel, 0x08, p1, p2});
    case 0xC1: return Message({0x43, toChannel, 0x00, p1, p2});
    case 0xC2: return Message({0x43, toChannel, 0x04, p1, p2});
    case 0xC3: return Message({0x43, toChannel, 0x11, p1, p2});
    case 0xC5: return Message({0x43, toChannel, 0x15, p1, p2});
    case 0xC6: return Message({0x43, 0x75, c, 0x10, p1, p2});
    case 0xC7: return Message({0x43, toChannel, 0x12, p1, p2});
    case 0xC8: return Message({0x43, toChannel, 0x13, p1, p2});
    case 0xC9: return Message({0x43, toChannel, 0x10, p1, p2});
    case 0xCA: return Message({0x43, toChannel, 0x10, 0x7B, p1, p2});
    case 0xCB: return Message({0x43, toChannel, 0x10, 0x7C, p1, p2});
    case 0xCC: return Message({0x43, toChannel, 0x1B, p1, p2});
    case 0xCD: return Message({0x43, toChannel, 0x18, p1, p2});
    case 0xCE: return Message({0x43, toChannel, 0x19, p1, p2});
    case 0xCF: return Message({0x43, toChannel, 0x1A, p1, p2});
    case 0xD3: return Message({0x43, 0x10, 0x4C, yamaha.addressHigh, yamaha.addressMiddle, p1, p2});
    case 0xDC: return Message({0x41, 0x32, c, p1, p2});
    default: return {};
    }
}

}  // namespace kyro::rcp
