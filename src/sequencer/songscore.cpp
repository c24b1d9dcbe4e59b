#include "sequencer/songscore.h"

#include "sequencer/midifile.h"
#include "sequencer/tickclock.h"

#include <algorithm>
#include <utility>

namespace kyro {

SongReadResult ToSong(ScoreReadResult read) {
    SongReadResult result;
    if (!read.ok) {
        result.error = std::move(read.error);
        return result;
    }
    SongScore& score = read.score;
    const ScoreTimeBase& base = score.timeBase;
    const midi::TickClock clock = base.smpteFps
                                      ? midi::TickClock::Smpte(base.smpteFps, base.ticksPerFrame)
                                      : midi::TickClock::Metrical(base.ticksPerQuarter, std::move(score.tempos));
    const std::int64_t endUs = clock.UsAt(score.endTick);
    if (endUs > kMaxSongUs) {
        result.error = "演奏時間が長すぎます (" + std::to_string(kMaxSongUs / 3'600'000'000) + " 時間を超えています)";
        return result;
    }
    Song& song = result.song;
    song.events.reserve(score.events.size());
    for (ScoreEvent& e : score.events) song.events.push_back({clock.UsAt(e.tick), std::move(e.message)});
    song.lengthUs = endUs;
    if (!song.events.empty()) song.lengthUs = std::max(song.lengthUs, song.events.back().timeUs);
    result.ok = true;
    return result;
}

}  // namespace kyro
