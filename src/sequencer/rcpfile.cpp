#include "sequencer/rcpfile.h"

#include "sequencer/rcpheader.h"
#include "sequencer/rcpplay.h"
#include "sequencer/rcptempo.h"

#include <algorithm>

namespace kyro {

namespace {

ScoreReadResult Failure(std::string text) {
    ScoreReadResult r;
    r.error = std::move(text);
    return r;
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
    std::vector<rcp::PlayedEvent> events;
    std::vector<rcp::TempoCommand> tempos;
    events.reserve(eventCount);
    for (rcp::TrackPlay& track : played) {
        std::move(track.events.begin(), track.events.end(), std::back_inserter(events));
        tempos.insert(tempos.end(), track.tempos.begin(), track.tempos.end());
        score.endTick = std::max(score.endTick, track.endTick);
    }
    played.clear();
    if (h.cutShort && events.empty()) return Failure("RCP ファイルが途中で切れていて、演奏できるイベントがありません");

    // Tracks in their order and each track's records in theirs, but a note ending at a tick goes
    // before everything else at that tick, so that a note starting there is not cut off.
    std::stable_sort(events.begin(), events.end(), [](const rcp::PlayedEvent& a, const rcp::PlayedEvent& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return a.noteOff > b.noteOff;
    });
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const rcp::TempoCommand& a, const rcp::TempoCommand& b) { return a.tick < b.tick; });

    score.timeBase.ticksPerQuarter = h.timeBase;
    score.tempos = rcp::BuildTempoMap(h.tempoBpm, h.timeBase, tempos);
    score.events.reserve(events.size());
    for (rcp::PlayedEvent& e : events) score.events.push_back({e.tick, std::move(e.message)});
    score.title = h.title;
    score.meterNumerator = h.meterNumerator;
    score.meterDenominator = h.meterDenominator;
    result.ok = true;
    return result;
}

SongReadResult ReadRcpFile(const std::uint8_t* data, std::size_t size) { return ToSong(ReadRcpScore(data, size)); }

}  // namespace kyro
