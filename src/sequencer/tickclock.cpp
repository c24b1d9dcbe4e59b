#include "sequencer/tickclock.h"

#include <algorithm>
#include <limits>

namespace kyro::midi {

namespace {

constexpr std::uint32_t kDefaultUsPerQuarter = 500000;  // 120 BPM until the first tempo change

}  // namespace

TickClock TickClock::Metrical(std::uint32_t ticksPerQuarter, std::vector<TempoChange> tempos) {
    TickClock clock;
    clock.denominator_ = ticksPerQuarter;
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    clock.segments_.push_back({0, 0, kDefaultUsPerQuarter});
    for (const TempoChange& t : tempos) {
        Segment& last = clock.segments_.back();
        if (t.tick == last.startTick) {
            last.rate = t.usPerQuarter;  // a later change at the same tick wins
            continue;
        }
        const unsigned __int128 product =
            last.startProduct + static_cast<unsigned __int128>(t.tick - last.startTick) * last.rate;
        clock.segments_.push_back({t.tick, product, t.usPerQuarter});
    }
    return clock;
}

TickClock TickClock::Smpte(int framesPerSecond, std::uint32_t ticksPerFrame) {
    TickClock clock;
    // One tick lasts 10^6 / (fps x ticks per frame) µs; for 29.97 fps that is
    // 10^8 / (2997 x ticks per frame), kept exact by scaling both sides by 100.
    if (framesPerSecond == 29) {
        clock.segments_.push_back({0, 0, 100'000'000});
        clock.denominator_ = std::uint64_t{2997} * ticksPerFrame;
    } else {
        clock.segments_.push_back({0, 0, 1'000'000});
        clock.denominator_ = static_cast<std::uint64_t>(framesPerSecond) * ticksPerFrame;
    }
    return clock;
}

std::int64_t TickClock::UsAt(std::uint64_t tick) const {
    auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                  [](std::uint64_t t, const Segment& s) { return t < s.startTick; });
    const Segment& s = *(after - 1);  // the first segment starts at tick 0
    const unsigned __int128 product =
        s.startProduct + static_cast<unsigned __int128>(tick - s.startTick) * s.rate;
    const unsigned __int128 us = product / denominator_;
    constexpr auto kMax = static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max());
    return us > kMax ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(us);
}

}  // namespace kyro::midi
