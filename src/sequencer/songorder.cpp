#include "sequencer/song.h"
#include "sequencer/songscore.h"

#include <algorithm>

namespace kyro {

namespace {

// Where a message goes among those at the same time. Notes released first and started last, so
// that a note ending and a note starting on the same tick never cut each other off (a note-on
// before the note-off of the same key would be silenced at once); SysEx (resets, parameters) and
// then controllers, programs, pitch bend and pressure go before the notes they are meant for.
int SameTimeRank(const std::vector<std::uint8_t>& m) {
    enum { kNoteOff, kSysEx, kOtherChannel, kNoteOn };
    if (m.empty()) return kSysEx;
    const std::uint8_t status = m[0];
    // SysEx, and the bytes of an F7 escape (a SysEx continuation starts with a data byte).
    if (status >= 0xF0 || status < 0x80) return kSysEx;
    switch (status & 0xF0) {
    case 0x80:
        return kNoteOff;
    case 0x90:
        return (m.size() >= 3 && m[2] == 0) ? kNoteOff : kNoteOn;  // velocity 0 is a note-off
    default:
        return kOtherChannel;
    }
}

}  // namespace

void OrderSongEvents(std::vector<SongEvent>& events) {
    std::stable_sort(events.begin(), events.end(), [](const SongEvent& a, const SongEvent& b) {
        if (a.timeUs != b.timeUs) return a.timeUs < b.timeUs;
        return SameTimeRank(a.message) < SameTimeRank(b.message);
    });
}

void OrderScoreEvents(std::vector<ScoreEvent>& events) {
    std::stable_sort(events.begin(), events.end(), [](const ScoreEvent& a, const ScoreEvent& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return SameTimeRank(a.message) < SameTimeRank(b.message);
    });
}

}  // namespace kyro
