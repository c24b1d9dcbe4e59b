#pragma once
// Exclusive messages of RCP commands: user and track exclusives with their placeholders, and the
// Roland and Yamaha parameter commands. Part of the RCP reader.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyro::rcp {

// Longer messages are dropped: no sound module takes them from a song.
inline constexpr std::size_t kMaxExclusiveBytes = 1024;

// The message F0 ... F7 from stored bytes (without F0; up to an F7 or their end). In the stored
// bytes 80 and 81 stand for the command's p1 and p2, 82 for the channel, 83 starts the checksum's
// range and 84 puts the Roland checksum there. Empty when the message is dropped: an undefined
// placeholder (85-FF), or too long.
std::vector<std::uint8_t> BuildExclusive(const std::uint8_t* stored, std::size_t size, std::uint8_t p1,
                                         std::uint8_t p2, std::uint8_t channel);

// Where the Roland and Yamaha commands send their parameters (DD/DF and D0/D1 set them).
struct ParameterTarget {
    std::uint8_t device = 0x10;
    std::uint8_t model = 0x16;
    std::uint8_t addressHigh = 0;
    std::uint8_t addressMiddle = 0;

    void SetAddress(std::uint8_t high, std::uint8_t middle) {
        addressHigh = high;
        addressMiddle = middle;
    }
    void SetDevice(std::uint8_t deviceId, std::uint8_t modelId) {
        device = deviceId;
        model = modelId;
    }
};

// F0 41 dev model 12 aH aM p1 p2 sum F7 (DE); empty when a byte is no data byte.
std::vector<std::uint8_t> RolandParameter(const ParameterTarget& t, std::uint8_t p1, std::uint8_t p2);
// F0 43 dev model aH aM p1 p2 F7 (D2); empty when a byte is no data byte.
std::vector<std::uint8_t> YamahaParameter(const ParameterTarget& t, std::uint8_t p1, std::uint8_t p2);
// The message of a command with a fixed layout (C0-CF FM parameters, D3 XG parameter, DC rack
// module parameter) on the channel; empty for other codes or when a byte is no data byte.
std::vector<std::uint8_t> FixedExclusive(std::uint8_t code, const ParameterTarget& yamaha, std::uint8_t channel,
                                         std::uint8_t p1, std::uint8_t p2);

}  // namespace kyro::rcp
