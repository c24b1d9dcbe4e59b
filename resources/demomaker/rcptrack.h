#pragma once
// One track of an RCP demo song, put together from notes and commands at the demo's 480 ticks a
// quarter note and written at the song's coarser time base, the way the RCP editor lays a track
// out: a lead-in measure for the set-up (programs, controllers, a reset), then one measure per
// bar, each closed by a measure end (FD). Several notes at one tick become a chord (all but the
// last with step 0); silence becomes rests (gate 0); a note held over a bar line is split there
// into a tie (the key again while its first gate still sounds). Bars that repeat can be written
// once: inside a loop (F9 ... F8) or as a same-measure record (FC) pointing back at the first.

#include "rcpwriter.h"

#include <cstdint>
#include <vector>

namespace kyro::demo {

class RcpTrackBuilder {
public:
    // `leadIn` and every tick below are in 480ths of a quarter note, counted from the first bar.
    RcpTrackBuilder(test::RcpGeneration generation, std::uint16_t timeBase, int beatsPerBar, std::uint32_t leadIn);

    // The lead-in measure's records, their steps as given; a rest fills it up to its length.
    void Setup(std::vector<test::RcpRecord> records);
    // A command (E7, EB, ...) at `tick`, with any continuation records after it; the builder
    // sets its step. Commands go before the notes of the same tick.
    void Command(std::uint32_t tick, std::vector<test::RcpRecord> records);
    void Note(std::uint32_t tick, std::uint32_t gate, int key, int velocity);

    // Bars [firstBar, firstBar + barCount) repeat `passes` times in what was added; they are
    // written once inside a loop. Loops may nest. Throws at Records() when the bars differ.
    void Loop(int firstBar, int barCount, int passes);
    // A bar that repeats an earlier one is written as a same-measure record (not with loops).
    void UseSameMeasures() { sameMeasures_ = true; }

    // The track's records for `bars` bars. Throws std::invalid_argument on a value the
    // generation cannot hold.
    std::vector<test::RcpRecord> Records(int bars) const;

private:
    struct Event {
        std::uint32_t tick;  // in the track's own ticks, from the first bar
        int order;           // commands 0, notes 1
        std::vector<test::RcpRecord> records;
    };
    struct LoopSpan {
        int first, count, passes;
    };

    std::uint32_t Scaled(std::uint32_t ticks) const;
    std::vector<test::RcpRecord> Bar(int bar) const;
    void Emit(std::vector<test::RcpRecord>& out, const std::vector<std::vector<test::RcpRecord>>& bars, int from,
              int to, std::size_t loopDepth) const;
    void PutTimed(std::vector<test::RcpRecord>& out, std::vector<test::RcpRecord> records, std::uint32_t step) const;

    test::RcpGeneration generation_;
    std::uint16_t timeBase_;
    std::uint32_t barTicks_;  // in the track's own ticks
    std::uint32_t leadIn_;
    std::uint32_t maxStep_;
    std::vector<test::RcpRecord> setup_;
    std::vector<Event> events_;
    std::vector<LoopSpan> loops_;
    bool sameMeasures_ = false;
};

}  // namespace kyro::demo
