#include "sequencer/rcpfile.h"

#include "sequencer/rcpheader.h"
#include "sequencer/rcpplay.h"
#include "sequencer/rcptempo.h"

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

    rcp::Budget budget;
    std::vector<rcp::TrackPlay> played;
    std::size_t eventCount = 0;
    for (const rcp::TrackInfo& t : h.tracks) {
        if (t.muted) continue;  // muted tracks are not played at all, tempo changes included
        const auto start = static_cast<std::uint64_t>(rcp::StepShift(h, t) - earliest);
        played.push_back(rcp::PlayTrack(h, t, start, budget));
        eventCount += played.back().events.size();
    }
    ScoreReadResult result;
    SongScore& score = result.score;
    std::vector<rcp::TempoCommand> tempos;
    for (const rcp::TrackPlay& track : played) {
        tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
        score.endTick = std::max(score.endTick, track.endTick);
    }
    if (h.cutShort && eventCount == 0) return Failure("RCP ファイルが途中で切れていて、演奏できるイベントがありません");
    score.events.reserve(eventCount);
    MergeTracks(played, score.events);
    played.clear();
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const rcp::TempoCommand& a, const rcp::TempoCommand& b) { return a.tick < b.tick; });

    score.timeBase.ticksPerQuarter = h.timeBase;
    score.tempos = rcp::BuildTempoMap(h.tempoBpm, h.timeBase, tempos);
    score.title = h.title;
    score.meterNumerator = h.meterNumerator;
    score.meterDenominator = h.meterDenominator;
    result.ok = true;
    return result;
}

SongReadResult ReadRcpFile(const std::uint8_t* data, std::size_t size) { return ToSong(ReadRcpScore(data, size)); }

}  // namespace kyro
