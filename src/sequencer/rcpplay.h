#pragma once
// Plays one RCP track's records into MIDI messages at ticks: notes with their gates and ties,
// channel and exclusive commands, loops and same-measure replays. Part of the RCP reader.
//
// The files leave some things open; the choices made are the constants below, in one place.

#include "sequencer/rcpheader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyro::rcp {

// Loops nest this deep; deeper loop starts (and their ends) are ignored.
inline constexpr std::size_t kMaxLoopDepth = 16;
// Loop counts 0 and 255 mean "forever" in the editors (game music loops its whole song); a jukebox
// plays such a loop this many times and goes on.
inline constexpr unsigned kForeverPasses = 2;
// A loop whose passes would last this many beats or more is played twice ("loop bombs").
inline constexpr std::uint64_t kLoopBombBeats = 4000;
// A same-measure reference may lead to another one; longer chains (or cycles) are ignored.
inline constexpr int kMaxSameMeasureHops = 100;
inline constexpr std::size_t kMaxMeasures = 32768;
// A track stops after this many beats, or when the song has played for kMaxTrackUs (in its own
// time, every track's tempo changes included), whichever comes first: at 10 BPM the beats alone
// would last 13 hours; only above 800 BPM do they come first.
inline constexpr std::uint64_t kMaxTrackBeats = 8000;
inline constexpr std::int64_t kMaxTrackUs = 10LL * 60 * 1000 * 1000;  // ten minutes
// Records interpreted and events produced in the whole song, whatever its loops say.
inline constexpr std::size_t kMaxRecordSteps = 4'000'000;
inline constexpr std::size_t kMaxEvents = 500'000;
// Commands nobody documents skip their record without advancing time. Kept as a switch in case
// real files show that some of them are delays.
inline constexpr bool kUnknownCommandsTakeTime = false;

// One message of a track. Channel messages (at most 3 bytes) are held in place, exclusives in
// their track's list, so that a song of many events stays small.
struct PlayedEvent {
    std::uint64_t tick = 0;
    std::uint32_t exclusive = 0;        // 1 + its index in TrackPlay::exclusives; 0: a channel message
    std::uint8_t bytes[3] = {};
    std::uint8_t size : 7 = 0;
    std::uint8_t noteOff : 1 = 0;
};

// E7: the tempo becomes the header's tempo x factor / 64, at once (glide 0) or gliding.
struct TempoCommand {
    std::uint64_t tick = 0;
    std::uint32_t factor = 64;
    std::uint8_t glide = 0;
};

// What the whole song may still use; shared by its tracks.
struct Budget {
    std::size_t recordSteps = kMaxRecordSteps;
    std::size_t events = kMaxEvents;
};

struct TrackPlay {
    std::vector<PlayedEvent> events;   // by tick, note-offs first at a tick, else in the records' order
    std::vector<std::vector<std::uint8_t>> exclusives;  // the messages of the events that say so
    std::vector<TempoCommand> tempos;
    std::uint64_t endTick = 0;         // the last note's end or the track's end
};

// Plays a track that starts at startTick (its ST+ already in it). A muted track is not played.
// Records at stopTick or later are not played: the track then ends at stopTick, its notes still
// sounding with it (the song stops there; the reader sets it at kMaxTrackUs).
TrackPlay PlayTrack(const Header& header, const TrackInfo& track, std::uint64_t startTick, Budget& budget,
                    std::uint64_t stopTick = UINT64_MAX);

}  // namespace kyro::rcp
