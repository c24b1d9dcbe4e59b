#include "rcptrack.h"

#include "score.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace kyro::demo {

namespace {

using test::RcpRecord;

bool Same(const RcpRecord& a, const RcpRecord& b) {
    return a.code == b.code && a.step == b.step && a.p1 == b.p1 && a.p2 == b.p2;
}

bool Same(const std::vector<RcpRecord>& a, const std::vector<RcpRecord>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) { return Same(x, y); });
}

RcpRecord Rest(std::uint32_t step) { return test::Note(0, static_cast<std::uint16_t>(step), 0, 0); }

[[noreturn]] void Bad(const std::string& what) { throw std::invalid_argument("RCP track: " + what); }

}  // namespace

RcpTrackBuilder::RcpTrackBuilder(test::RcpGeneration generation, std::uint16_t timeBase, int beatsPerBar,
                                 std::uint32_t leadIn)
    : generation_(generation), timeBase_(timeBase), barTicks_(0), leadIn_(0),
      maxStep_(generation == test::RcpGeneration::V2 ? 0xFF : 0xFFFF) {
    barTicks_ = Scaled(static_cast<std::uint32_t>(beatsPerBar) * kBeat);
    leadIn_ = Scaled(leadIn);
}

std::uint32_t RcpTrackBuilder::Scaled(std::uint32_t ticks) const {
    if (ticks * timeBase_ % kBeat != 0) Bad(std::to_string(ticks) + " ticks fall between the time base's");
    return ticks * timeBase_ / kBeat;
}

void RcpTrackBuilder::Setup(std::vector<RcpRecord> records) { setup_ = std::move(records); }

void RcpTrackBuilder::Command(std::uint32_t tick, std::vector<RcpRecord> records) {
    if (records.empty() || records.front().code < 0x80) Bad("a command without its record");
    events_.push_back({Scaled(tick), 0, std::move(records)});
}

void RcpTrackBuilder::Note(std::uint32_t tick, std::uint32_t gate, int key, int velocity) {
    if (key < 0 || key > 127 || velocity < 1 || velocity > 127) Bad("key or velocity out of range");
    std::uint32_t t = Scaled(tick);
    std::uint32_t end = t + std::max<std::uint32_t>(1, Scaled(gate));
    // Held over bar lines: a tie at each, the first gate one tick past the line so that the
    // key is still sounding when it comes again.
    for (std::uint32_t barEnd = (t / barTicks_ + 1) * barTicks_; end > barEnd; barEnd += barTicks_) {
        events_.push_back({t, 1, {test::Note(static_cast<std::uint8_t>(key), 0, static_cast<std::uint16_t>(barEnd - t + 1),
                                             static_cast<std::uint8_t>(velocity))}});
        t = barEnd;
    }
    if (end - t > maxStep_) Bad("a gate too long for the generation");
    events_.push_back({t, 1, {test::Note(static_cast<std::uint8_t>(key), 0, static_cast<std::uint16_t>(end - t),
                                         static_cast<std::uint8_t>(velocity))}});
}

void RcpTrackBuilder::Loop(int firstBar, int barCount, int passes) { loops_.push_back({firstBar, barCount, passes}); }

void RcpTrackBuilder::PutTimed(std::vector<RcpRecord>& out, std::vector<RcpRecord> records, std::uint32_t step) const {
    const std::uint32_t first = std::min(step, maxStep_);
    records.front().step = static_cast<std::uint16_t>(first);
    out.insert(out.end(), records.begin(), records.end());
    for (step -= first; step > 0; step -= std::min(step, maxStep_)) out.push_back(Rest(std::min(step, maxStep_)));
}

std::vector<RcpRecord> RcpTrackBuilder::Bar(int bar) const {
    const std::uint32_t start = static_cast<std::uint32_t>(bar) * barTicks_, end = start + barTicks_;
    std::vector<const Event*> in;
    for (const Event& e : events_)
        if (e.tick >= start && e.tick < end) in.push_back(&e);
    std::stable_sort(in.begin(), in.end(), [](const Event* a, const Event* b) {
        return a->tick != b->tick ? a->tick < b->tick : a->order < b->order;
    });
    std::vector<RcpRecord> out;
    const std::uint32_t firstTick = in.empty() ? end : in.front()->tick;
    if (firstTick > start) PutTimed(out, {Rest(0)}, firstTick - start);
    for (std::size_t i = 0; i < in.size(); ++i)
        PutTimed(out, in[i]->records, (i + 1 < in.size() ? in[i + 1]->tick : end) - in[i]->tick);
    return out;
}

void RcpTrackBuilder::Emit(std::vector<RcpRecord>& out, const std::vector<std::vector<RcpRecord>>& bars, int from, int to,
                           std::size_t loopDepth) const {
    // Loops sorted outermost first: at depth d only loops from index d on may start.
    std::vector<LoopSpan> loops = loops_;
    std::stable_sort(loops.begin(), loops.end(),
                     [](const LoopSpan& a, const LoopSpan& b) { return a.count * a.passes > b.count * b.passes; });
    std::vector<std::size_t> firstRecord(bars.size(), 0);
    std::vector<bool> written(bars.size(), false);
    for (int b = from; b < to;) {
        const auto loop = std::find_if(
            loops.begin() + static_cast<std::ptrdiff_t>(std::min(loopDepth, loops.size())), loops.end(),
            [&](const LoopSpan& l) { return l.first == b && b + l.count * l.passes <= to; });
        if (loop != loops.end()) {
            for (int k = loop->count; k < loop->count * loop->passes; ++k)
                if (!Same(bars[b + k], bars[b + k % loop->count])) Bad("bar " + std::to_string(b + k) + " breaks its loop");
            out.push_back(test::Command(0xF9));
            Emit(out, bars, b, b + loop->count, static_cast<std::size_t>(loop - loops.begin()) + 1);
            out.push_back(test::Command(0xF8, static_cast<std::uint16_t>(loop->passes)));
            b += loop->count * loop->passes;
            continue;
        }
        int earlier = -1;
        for (int a = 0; sameMeasures_ && a < b && earlier < 0; ++a)
            if (written[a] && Same(bars[a], bars[b])) earlier = a;
        if (earlier >= 0) {
            // Measure 0 is the lead-in.
            out.push_back(test::SameMeasure(generation_, static_cast<std::uint16_t>(earlier + 1),
                                            static_cast<std::uint32_t>(firstRecord[earlier])));
        } else {
            firstRecord[b] = out.size();
            written[b] = true;
            out.insert(out.end(), bars[b].begin(), bars[b].end());
            out.push_back(test::MeasureEnd());
        }
        ++b;
    }
}

std::vector<RcpRecord> RcpTrackBuilder::Records(int bars) const {
    // Same-measure records count measures as written; a loop would write fewer than it plays.
    if (sameMeasures_ && !loops_.empty()) Bad("loops and same measures in one track");
    std::vector<RcpRecord> out;
    std::uint32_t used = 0;
    for (const RcpRecord& r : setup_) {
        if (r.code < 0xF5) used += r.step;  // F5-FF carry no time (F7 holds data there)
        out.push_back(r);
    }
    if (used > leadIn_) Bad("a set-up longer than the lead-in");
    if (leadIn_ > used) PutTimed(out, {Rest(0)}, leadIn_ - used);
    out.push_back(test::MeasureEnd());

    std::vector<std::vector<RcpRecord>> barRecords;
    for (int b = 0; b < bars; ++b) barRecords.push_back(Bar(b));
    for (const Event& e : events_)
        if (e.tick >= static_cast<std::uint32_t>(bars) * barTicks_) Bad("an event after the last bar");
    Emit(out, barRecords, 0, bars, 0);
    return out;
}

}  // namespace kyro::demo
