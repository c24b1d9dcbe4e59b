#pragma once
// Writes RCP sequencer song files of both generations from records, for the tests and the demo
// maker. Nothing is checked: a test can write any size, count or byte it wants a reader to meet.
//
// 2.x: a 0x586-byte header, tracks of a 44-byte header and 4-byte records
//      (code, step, gate or p1, velocity or p2).
// 3.x: a 0xC98-byte header, tracks of a 46-byte header and 6-byte records
//      (code, velocity or p2, step 16-bit, gate or p1 16-bit), all little-endian.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kyro::test {

enum class RcpGeneration { V2, V3 };

// One record. For a note: code = key (< 0x80), step, p1 = gate, p2 = velocity.
// For a command: code >= 0x80, step (or the command's value there), p1, p2.
struct RcpRecord {
    std::uint8_t code = 0;
    std::uint16_t step = 0;
    std::uint16_t p1 = 0;
    std::uint8_t p2 = 0;
};

inline RcpRecord Note(std::uint8_t key, std::uint16_t step, std::uint16_t gate, std::uint8_t velocity) {
    return {key, step, gate, velocity};
}
inline RcpRecord Command(std::uint8_t code, std::uint16_t step = 0, std::uint16_t p1 = 0, std::uint8_t p2 = 0) {
    return {code, step, p1, p2};
}
inline RcpRecord MeasureEnd() { return {0xFD, 0, 0, 0}; }

// The F7 continuation records of a track exclusive (98), a comment (F6) or an external command
// (99) holding these bytes: two a record in 2.x (bytes 2-3), five in 3.x (bytes 1-5); the last
// record is padded with F7.
std::vector<RcpRecord> Continuation(RcpGeneration generation, const std::vector<std::uint8_t>& bytes);

struct RcpTrack {
    std::uint8_t channel = 0;     // 0x00-0x0F port A, 0x10-0x1F port B, 0xFF off
    std::uint8_t keyShift = 0;    // 0x00-0x7F: 7-bit signed semitones; 0x80 and up: no transposition
    std::int8_t stepShift = 0;    // ST+ in ticks
    std::uint8_t mode = 0;        // bit 0: mute
    std::uint8_t rhythm = 0;      // 0x80: a rhythm track (editor only)
    std::string comment;          // CP932, cut or space-padded to 36 bytes
    std::vector<RcpRecord> records;
    bool endOfTrack = true;       // append an FE record
    std::optional<std::uint32_t> sizeField;  // the size written instead of the true one
    // 3.x only: the same-measure target p1 of an FC record is a record index; see SameMeasure.
};

struct RcpSong {
    RcpGeneration generation = RcpGeneration::V2;
    std::string title;            // CP932; 64 bytes (2.x) or 128 bytes (3.x), space padded
    std::vector<std::string> memo;  // up to 12 lines, 28 (2.x) or 30 (3.x) bytes each
    std::uint16_t timeBase = 48;
    std::uint16_t tempo = 120;    // BPM (2.x keeps the low byte)
    std::uint8_t meterNumerator = 4;
    std::uint8_t meterDenominator = 4;
    std::uint8_t key = 0;
    std::int8_t playBias = 0;
    // The track count written in the header; empty: 18 when there are at most 18 tracks, else 36.
    // Tracks missing up to that count are written empty (an FE record), unless padTracks is false.
    std::optional<std::uint8_t> trackCountField;
    bool padTracks = true;
    // User exclusives 1-8: the message body without F0, padded with F7 to its field.
    std::array<std::vector<std::uint8_t>, 8> userExclusive;
    std::vector<RcpTrack> tracks;
    std::vector<std::uint8_t> trailer;  // bytes written after the last track
};

std::vector<std::uint8_t> WriteRcp(const RcpSong& song);

// The FC record that replays the measure starting at record index `recordIndex` of its track
// (counted from the first record after the track header), measure number `measure` (0-based).
RcpRecord SameMeasure(RcpGeneration generation, std::uint16_t measure, std::uint32_t recordIndex);

// The byte offset from the start of the file to the track header of track `index` (0-based), as
// WriteRcp lays them out; for tests that damage a track in place.
std::size_t RcpTrackOffset(const RcpSong& song, std::size_t index);

}  // namespace kyro::test
