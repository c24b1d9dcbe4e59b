#pragma once
// What every song reader owes its caller, checked by the fuzz targets: a failure has a text for
// the user; a song has its events in order, none empty, and a length within the reader's limit
// and not before its last event. Anything else aborts, which the fuzzer reports.

#include "sequencer/midifile.h"
#include "sequencer/song.h"

#include <cstdint>
#include <cstdlib>

inline void CheckSongReadResult(const kyro::SongReadResult& r) {
    if (!r.ok) {
        if (r.error.empty()) std::abort();
        return;
    }
    std::int64_t previous = 0;
    for (const kyro::SongEvent& e : r.song.events) {
        if (e.message.empty() || e.timeUs < previous) std::abort();
        previous = e.timeUs;
    }
    if (r.song.lengthUs < previous || r.song.lengthUs > kyro::kMaxSongUs) std::abort();
}
