#pragma once
// Any song file the player plays, told by its first bytes rather than its name: an RCP file of
// either generation, else a Standard MIDI File (plain or in a RIFF "RMID" wrapper).

#include "sequencer/songscore.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kyro {

ScoreReadResult ReadSongScore(const std::uint8_t* data, std::size_t size);
SongReadResult ReadSongFile(const std::uint8_t* data, std::size_t size);  // ToSong(ReadSongScore)

// Reads the regular file at nativePath (at most kMaxMidiFileBytes) and parses it.
ScoreReadResult ReadSongScoreAt(const std::string& nativePath);

}  // namespace kyro
