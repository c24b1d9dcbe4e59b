#pragma once
// The file header and track chain of an RCP file: which generation, the song's settings, the user
// exclusives, and where each track's records are. Part of the RCP reader.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kyro::rcp {

enum class Generation { V2, V3 };

inline constexpr std::uint8_t kChannelOff = 0xFF;

struct TrackInfo {
    const std::uint8_t* start = nullptr;  // the track header (same-measure targets count from here)
    std::size_t headerSize = 0;
    std::size_t recordCount = 0;          // whole records after the header
    std::uint8_t channel = kChannelOff;   // 0-15 (port B folded onto them) or kChannelOff
    std::uint8_t keyShift = 0;            // the stored byte: 0x80 and up, no transposition at all
    std::uint8_t stepShiftByte = 0;       // ST+ as stored; signed or not is decided for the file
    bool muted = false;
    bool cutShort = false;                // the file ended inside the track

    const std::uint8_t* Record(std::size_t index, std::size_t recordSize) const {
        return start + headerSize + index * recordSize;
    }
};

struct Header {
    Generation generation = Generation::V2;
    std::size_t recordSize = 4;
    std::uint32_t timeBase = 48;          // ticks per quarter note, never 0
    std::uint32_t tempoBpm = 120;
    int playBias = 0;                     // semitones
    std::uint8_t meterNumerator = 4;
    std::uint8_t meterDenominator = 4;
    std::string title;                    // CP932, without the padding
    bool stepShiftSigned = true;          // how every track's ST+ byte reads
    std::array<std::vector<std::uint8_t>, 8> userExclusive;  // bodies without F0, up to the first F7
    std::vector<TrackInfo> tracks;
    bool cutShort = false;                // the file ended before its last track did
};

struct HeaderResult {
    bool ok = false;
    std::string error;
    Header header;
};

// The generation the signature names; false when the bytes have neither signature.
bool SignatureOf(const std::uint8_t* data, std::size_t size, Generation& generation);

// Reads the header and finds the tracks. Fails only when the file is no RCP file or too short for
// its header and one track header; tracks cut short by the end of the file are kept as far as
// they go.
HeaderResult ReadHeader(const std::uint8_t* data, std::size_t size);

// A track's ST+ in ticks.
int StepShift(const Header& header, const TrackInfo& track);

}  // namespace kyro::rcp
