#pragma once
// Ticks to microseconds for one Standard MIDI File time base. Part of the file reader.
//
// Ticks per quarter note: the tempo map decides; before its first change the tempo is 120 BPM
// (500000 µs per quarter note). Every time is computed from the start of the song as
// (sum of ticks x tempo over the tempo segments) / ticks per quarter note in exact integers, so
// no rounding accumulates over tempo changes.
// SMPTE division: frames per second x ticks per frame give the time directly; tempo is ignored.

#include "sequencer/miditrack.h"

#include <cstdint>
#include <vector>

namespace kyro::midi {

class TickClock {
public:
    // ticksPerQuarter > 0. tempos in file order; at the same tick the last one holds.
    static TickClock Metrical(std::uint32_t ticksPerQuarter, std::vector<TempoChange> tempos);
    // framesPerSecond 24, 25, 29 (29.97, drop frame) or 30; ticksPerFrame > 0.
    static TickClock Smpte(int framesPerSecond, std::uint32_t ticksPerFrame);

    // Microseconds from tick 0, rounded down; saturates at INT64_MAX.
    std::int64_t UsAt(std::uint64_t tick) const;

private:
    struct Segment {
        std::uint64_t startTick = 0;
        unsigned __int128 startProduct = 0;  // sum of ticks x µs per quarter before startTick
        std::uint32_t rate = 0;  // µs per quarter note (metrical), or the SMPTE numerator
    };

    TickClock() = default;

    // Time = (startProduct + ticks into the segment x rate) / denominator_.
    std::vector<Segment> segments_;
    std::uint64_t denominator_ = 1;
};

}  // namespace kyro::midi
