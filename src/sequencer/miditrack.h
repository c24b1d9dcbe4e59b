#pragma once
// One MTrk chunk of a Standard MIDI File, read into messages at absolute ticks. Part of the file
// reader; what the damage means for the whole file is decided by midifile.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kyro::midi {

struct TrackEvent {
    std::uint64_t tick = 0;              // from the start of the track
    std::vector<std::uint8_t> message;   // as a SongEvent holds it
};

struct TempoChange {
    std::uint64_t tick = 0;
    std::uint32_t usPerQuarter = 0;      // FF 51: microseconds per quarter note, never 0
};

enum class TrackOutcome {
    Complete,  // ended by FF 2F, or cleanly at the end of the chunk's bytes
    Cut,       // the bytes ran out inside a delta time or an event; what came before is kept
    Failed,    // damaged: error says how
    TooLarge,  // past a limit of the reader (events, SysEx size): error is the whole text
};

struct TrackReadResult {
    TrackOutcome outcome = TrackOutcome::Complete;
    std::string error;                   // when Failed or TooLarge
    std::vector<TrackEvent> events;      // channel messages and SysEx, in file order
    std::vector<TempoChange> tempos;     // in file order
    std::uint64_t endTick = 0;           // the end of track, or the last tick reached
};

// Reads the bytes of one track chunk. At most maxItems events and tempo changes are kept; one more
// makes the track TooLarge (the caller passes what is left of the file's budget).
TrackReadResult ReadTrack(const std::uint8_t* data, std::size_t size, std::size_t maxItems);

}  // namespace kyro::midi
