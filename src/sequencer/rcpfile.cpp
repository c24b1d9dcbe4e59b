#include "sequencer/rcpfile.h"

#include "sequencer/rcpheader.h"
#include "sequencer/rcpplay.h"
#include "sequencer/rcptempo.h"
#include "sequencer/tickclock.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <tuple>

namespace kyro {

namespace {

ScoreReadResult Failure(std::string text) {
    ScoreReadResult r;
    r.error = std::move(text);
    return r;
}

// The song's playing order from the tracks', each of which is in playing order already: by tick,
// a note ending at a tick before everything else at that tick (so that a note starting there is
// not cut off), and otherwise the earlier track first.
void MergeTracks(std::vector<rcp::TrackPlay>& played, std::vector<ScoreEvent>& out) {
    using Head = std::tuple<std::uint64_t, int, std::size_t>;  // tick, 0 for a note-off, track
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    std::vector<std::size_t> next(played.size(), 0);
    const auto push = [&](std::size_t track) {
        if (next[track] == played[track].events.size()) return;
        const rcp::PlayedEvent& e = played[track].events[next[track]];
        heads.emplace(e.tick, e.noteOff ? 0 : 1, track);
    };
    for (std::size_t t = 0; t < played.size(); ++t) push(t);
    while (!heads.empty()) {
        const std::size_t track = std::get<2>(heads.top());
        heads.pop();
        rcp::TrackPlay& from = played[track];
        const rcp::PlayedEvent& e = from.events[next[track]++];
        if (e.exclusive) {
            out.push_back({e.tick, std::move(from.exclusives[e.exclusive - 1])});
        } else {
            out.push_back({e.tick, std::vector<std::uint8_t>(e.bytes, e.bytes + e.size)});
        }
        push(track);
    }
}

// A track that plays, where it starts, and what the song's budget held when it was played.
struct TrackStart {
    const rcp::TrackInfo* track;
    std::uint64_t tick;
    rcp::Budget budget;
};

// The song's tempo map from the tempo commands of all its tracks.
std::vector<midi::TempoChange> TempoMapOf(const rcp::Header& h, const std::vector<rcp::TrackPlay>& played) {
    std::vector<rcp::TempoCommand> tempos;
    for (const rcp::TrackPlay& track : played) tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const rcp::TempoCommand& a, const rcp::TempoCommand& b) { return a.tick < b.tick; });
    return rcp::BuildTempoMap(h.tempoBpm, h.timeBase, tempos);
}

// Stops the song once it has played for kMaxTrackUs: the tracks that run past the last tick
// within that time are played again up to there. Each is given the budget it had the first time,
// so that it plays the same records up to there, and the tempo map up to there (which set the
// tick) stays as it was. True when a track was cut.
bool StopAtTimeCap(const rcp::Header& h, const std::vector<TrackStart>& starts,
                   const std::vector<midi::TempoChange>& tempoMap, std::vector<rcp::TrackPlay>& played) {
    std::uint64_t end = 0;
    for (const rcp::TrackPlay& track : played) end = std::max(end, track.endTick);
    const midi::TickClock clock = midi::TickClock::Metrical(h.timeBase, tempoMap);
    if (clock.UsAt(end) <= rcp::kMaxTrackUs) return false;
    std::uint64_t within = 0;  // time at `within` <= the cap < time at `end`
    while (end - within > 1) {
        const std::uint64_t middle = within + (end - within) / 2;
        (clock.UsAt(middle) <= rcp::kMaxTrackUs ? within : end) = middle;
    }
    for (std::size_t i = 0; i < played.size(); ++i) {
        if (played[i].endTick <= within) continue;
        rcp::Budget budget = starts[i].budget;
        played[i] = rcp::PlayTrack(h, *starts[i].track, starts[i].tick, budget, within);
    }
    return true;
}

}  // namespace

bool IsRcpFile(const std::uint8_t* data, std::size_t size) {
    rcp::Generation generation;
    return rcp::SignatureOf(data, size, generation);
}

ScoreReadResult ReadRcpScore(const std::uint8_t* data, std::size_t size) {
    rcp::HeaderResult read = rcp::ReadHeader(data, size);
    if (!read.ok) return Failure(read.error);
    const rcp::Header& h = read.header;

    // A track may start early (negative ST+): then every track is delayed by as much, so that
    // they stay together.
    int earliest = 0;
    for (const rcp::TrackInfo& t : h.tracks)
        if (!t.muted) earliest = std::min(earliest, rcp::StepShift(h, t));

    std::vector<TrackStart> starts;
    std::vector<rcp::TrackPlay> played;
    rcp::Budget budget;
    for (const rcp::TrackInfo& t : h.tracks) {
        if (t.muted) continue;  // muted tracks are not played at all, tempo changes included
        starts.push_back({&t, static_cast<std::uint64_t>(rcp::StepShift(h, t) - earliest), budget});
        played.push_back(rcp::PlayTrack(h, t, starts.back().tick, budget));
    }
    std::vector<midi::TempoChange> tempoMap = TempoMapOf(h, played);
    if (StopAtTimeCap(h, starts, tempoMap, played)) tempoMap = TempoMapOf(h, played);

    ScoreReadResult result;
    SongScore& score = result.score;
    std::size_t eventCount = 0;
    for (const rcp::TrackPlay& track : played) {
        eventCount += track.events.size();
        score.endTick = std::max(score.endTick, track.endTick);
    }
    if (h.cutShort && eventCount == 0) return Failure("RCP ファイルが途中で切れていて、演奏できるイベントがありません");
    score.events.reserve(eventCount);
    MergeTracks(played, score.events);
    played.clear();

    score.timeBase.ticksPerQuarter = h.timeBase;
    score.tempos = std::move(tempoMap);
    score.title = h.title;
    score.meterNumerator = h.meterNumerator;
    score.meterDenominator = h.meterDenominator;
    result.ok = true;
    return result;
}

SongReadResult ReadRcpFile(const std::uint8_t* data, std::size_t size) { return ToSong(ReadRcpScore(data, size)); }

}  // namespace kyro
