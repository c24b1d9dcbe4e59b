#pragma once
// A short generated song for the output tests, as a Standard MIDI File (for Debian's fluidsynth
// command and for the reader) and as the timed events the engine would send.
//
// Format 0, 480 ticks per quarter note at 120 BPM: one tick is 500000/480 us, 48 ticks are 50 ms.
// A GS reset, programs, chords on channel 0 and drums on channel 9 until 1.4 s, then silence until
// the end of the track at 2.0 s, so that the release of the last notes is inside the song.

#include "sequencer/song.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kyro::test {

struct TickedMessage {
    std::uint32_t tick = 0;
    std::vector<std::uint8_t> bytes;
};

inline constexpr std::uint32_t kTestSongTicksPerQuarter = 480;
inline constexpr std::uint32_t kTestSongTempo = 500000;  // us per quarter note
inline constexpr std::uint32_t kTestSongEndTick = 1920;  // 2.0 s
inline constexpr std::int64_t kTestSongLengthUs = 2000000;

inline std::int64_t TestSongTickToUs(std::uint32_t tick) {
    return std::int64_t(tick) * kTestSongTempo / kTestSongTicksPerQuarter;
}

// The messages in the order the file holds them.
inline std::vector<TickedMessage> TestSongMessages() {
    std::vector<TickedMessage> m;
    m.push_back({0, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}});  // GS reset
    m.push_back({96, {0xC0, 0x00}});   // channel 1: piano
    m.push_back({96, {0xB0, 0x07, 0x64}});  // volume
    m.push_back({96, {0xC9, 0x00}});   // drums: standard kit
    const std::uint8_t chords[][3] = {{60, 64, 67}, {62, 65, 69}, {64, 67, 71}};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const std::uint32_t on = 96 + i * 432, off = on + 384;  // the last note-off is at 1344 (1.4 s)
        for (std::uint8_t key : chords[i]) m.push_back({on, {0x90, key, 100}});
        m.push_back({on, {0x99, 36, 110}});   // bass drum
        m.push_back({on + 192, {0x99, 38, 100}});  // snare
        m.push_back({on + 192, {0x99, 36, 0}});    // (note-on, velocity 0: off)
        for (std::uint8_t key : chords[i]) m.push_back({off, {0x80, key, 64}});
        m.push_back({off, {0x89, 38, 0}});
    }
    return m;
}

inline std::vector<SongEvent> TestSongEvents() {
    std::vector<SongEvent> events;
    for (const auto& m : TestSongMessages()) events.push_back({TestSongTickToUs(m.tick), m.bytes});
    return events;
}

// endTick moves the end of the track (the same notes, more silence after them).
inline std::string TestSongMidiFile(std::uint32_t endTick = kTestSongEndTick) {
    auto be32 = [](std::uint32_t v) {
        return std::string{char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
    };
    auto delta = [](std::uint32_t ticks) {
        std::string groups(1, char(ticks & 0x7F));
        while (ticks >>= 7) groups.insert(groups.begin(), char((ticks & 0x7F) | 0x80));
        return groups;
    };
    std::string track = delta(0) + std::string("\xFF\x51\x03\x07\xA1\x20", 6);  // tempo 500000
    std::uint32_t now = 0;
    for (const auto& m : TestSongMessages()) {
        track += delta(m.tick - now);
        now = m.tick;
        if (m.bytes[0] == 0xF0)  // SMF SysEx: F0, length of the rest, the rest (F7 included)
            track += std::string(1, char(0xF0)) + delta(std::uint32_t(m.bytes.size() - 1)) +
                     std::string(m.bytes.begin() + 1, m.bytes.end());
        else
            track += std::string(m.bytes.begin(), m.bytes.end());
    }
    track += delta(endTick - now) + std::string("\xFF\x2F\x00", 3);
    return "MThd" + be32(6) + std::string("\0\0\0\x01\x01\xE0", 6) + "MTrk" + be32(std::uint32_t(track.size())) + track;
}

}  // namespace kyro::test
