#pragma once
// The reader of RCP sequencer song files: the 2.x generation (18 or 36 tracks of 4-byte records,
// files named .RCP or .R36) and the 3.x generation (6-byte records, .G18 or .G36, sometimes
// named .RCP), told apart by the signature, never by the name. It turns a file into a SongScore
// in the song's own ticks and tempo map, as the MIDI file reader does, and needs no Qt, so that
// the fuzz target links it alone.
//
// Damage: a file without either signature, or too short to hold its header and one track, fails
// with a plain text. Tracks are read as far as the file goes; a song whose tracks were cut short
// plays what was read, as long as that is at least one event. Every file ends in bounded time and
// memory: loops, same-measure replays and the song's length, in beats and in time, are capped
// (see rcpplay.h).

#include "sequencer/songscore.h"

#include <cstddef>
#include <cstdint>

namespace kyro {

// The file starts with the signature of either generation.
bool IsRcpFile(const std::uint8_t* data, std::size_t size);

ScoreReadResult ReadRcpScore(const std::uint8_t* data, std::size_t size);
SongReadResult ReadRcpFile(const std::uint8_t* data, std::size_t size);  // ToSong(ReadRcpScore)

}  // namespace kyro
