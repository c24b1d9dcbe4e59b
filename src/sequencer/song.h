#pragma once
// A song as the engine plays it: MIDI messages at absolute times from the start of the song.
// The file readers (Standard MIDI Files now, RCP files later) produce it; tempo maps, time
// division and running status are settled there, so the engine only keeps time.

#include <cstdint>
#include <string>
#include <vector>

namespace kyro {

struct SongEvent {
    std::int64_t timeUs = 0;             // microseconds from the start of the song
    std::vector<std::uint8_t> message;   // one complete message: a channel message of 1-3 bytes,
                                         // or a SysEx F0 ... F7 (an F7 "escape" is stored as sent)
};

struct Song {
    std::vector<SongEvent> events;  // in playing order (see OrderSongEvents)
    std::int64_t lengthUs = 0;      // the end: the last end-of-track (or last event), never before an event
};

// Puts events in playing order: by time; at the same time note-offs first, then SysEx, controllers
// and programs, and note-ons last; otherwise the order of the file. Stable.
void OrderSongEvents(std::vector<SongEvent>& events);

struct SongReadResult {
    bool ok = false;
    std::string error;  // plain text for the user when !ok
    Song song;
};

}  // namespace kyro
