#include "sequencer/rcptempo.h"

#include <algorithm>

namespace kyro::rcp {

namespace {

// Tempos are handled in 64ths of a BPM, the unit of the factors.
std::uint32_t UsPerQuarter(std::uint64_t bpm64) {
    bpm64 = std::clamp<std::uint64_t>(bpm64, kMinBpm * 64, kMaxBpm * 64);
    return static_cast<std::uint32_t>((60'000'000ull * 64 + bpm64 / 2) / bpm64);
}

constexpr std::size_t kMaxTempoPoints = 1'000'000;

struct Point {
    std::uint64_t tick;
    std::uint64_t bpm64;
};

}  // namespace

std::vector<midi::TempoChange> BuildTempoMap(std::uint32_t headerBpm, std::uint32_t timeBase,
                                             const std::vector<TempoCommand>& commands) {
    std::vector<Point> points{{0, std::uint64_t{headerBpm} * 64}};
    const std::uint64_t unit = std::max<std::uint64_t>(timeBase / 48, 1);  // one step of a 48-tick base
    for (const TempoCommand& c : commands) {
        // A change cuts short whatever glide is still under way.
        while (points.size() > 1 && points.back().tick >= c.tick) points.pop_back();
        const std::uint64_t from = points.back().bpm64;
        const std::uint64_t target = std::uint64_t{headerBpm} * c.factor;
        // A file of nothing but glides would make a map of hundreds of millions of points.
        const bool tooMany = points.size() > kMaxTempoPoints;
        if (c.glide == 0 || from == target || tooMany) {
            points.push_back({c.tick, target});
            continue;
        }
        const std::uint64_t steps = 255 - (c.glide - 1) * 240u / 254;  // 255 (glide 1) to 15 (glide 255)
        const std::uint64_t changes = steps / 2;
        for (std::uint64_t k = 1; k <= changes; ++k) {
            const std::uint64_t bpm64 =
                target >= from ? from + (target - from) * k / changes : from - (from - target) * k / changes;
            points.push_back({c.tick + (k - 1) * 2 * unit, bpm64});
        }
    }
    std::vector<midi::TempoChange> map;
    map.reserve(points.size());
    for (const Point& p : points) map.push_back({p.tick, UsPerQuarter(p.bpm64)});
    return map;
}

}  // namespace kyro::rcp
