#pragma once
// A song in its file's own time: messages at ticks, with the time base and the one tempo map that
// turn ticks into microseconds. Both file readers make one; the player plays the Song made from it
// (ToSong), and the MIDI file writer keeps its ticks and tempo map as they were.

#include "sequencer/miditrack.h"
#include "sequencer/song.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kyro {

struct ScoreEvent {
    std::uint64_t tick = 0;
    std::vector<std::uint8_t> message;  // as a SongEvent holds it
};

struct ScoreTimeBase {
    std::uint32_t ticksPerQuarter = 480;  // when smpteFps is 0
    int smpteFps = 0;                     // 24, 25, 29 (29.97) or 30: SMPTE time, tempo ignored
    std::uint32_t ticksPerFrame = 0;
};

struct SongScore {
    ScoreTimeBase timeBase;
    std::vector<midi::TempoChange> tempos;  // by tick (stable); before the first one, 120 BPM
    std::vector<ScoreEvent> events;         // in playing order
    std::uint64_t endTick = 0;              // the end of the song, never before the last event
    // What a sequencer shows of the song; kept for the MIDI file writer, not played.
    std::string title;                      // CP932 bytes as stored; empty when the file has none
    std::uint8_t meterNumerator = 0;        // 0: the file states no time signature
    std::uint8_t meterDenominator = 4;      // a power of two
};

struct ScoreReadResult {
    bool ok = false;
    std::string error;  // plain text for the user when !ok
    SongScore score;
};

// Puts score events in playing order by the same rule as OrderSongEvents.
void OrderScoreEvents(std::vector<ScoreEvent>& events);

// The song in microseconds. Fails with a plain text when it would last more than kMaxSongUs.
SongReadResult ToSong(ScoreReadResult read);

}  // namespace kyro
