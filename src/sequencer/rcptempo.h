#pragma once
// The song's one tempo map from the header's tempo and the tempo commands of all its tracks.
// Part of the RCP reader.

#include "sequencer/miditrack.h"
#include "sequencer/rcpplay.h"

#include <cstdint>
#include <vector>

namespace kyro::rcp {

// The tempo stays within 8 to 1000 BPM, whatever the factors say.
inline constexpr std::uint32_t kMinBpm = 8;
inline constexpr std::uint32_t kMaxBpm = 1000;

// commands in the order of their ticks (stable: at the same tick the later one holds). A gliding
// change (glide 1-255) moves in straight steps from the tempo in force to its target, over 255
// down to 15 steps of a 48-tick time base as the glide grows, changing every second step; a
// later command cuts it short.
std::vector<midi::TempoChange> BuildTempoMap(std::uint32_t headerBpm, std::uint32_t timeBase,
                                             const std::vector<TempoCommand>& commands);

}  // namespace kyro::rcp
