#pragma once
// Any song file the player plays, told by its first bytes rather than its name: an RCP file of
// either generation, else a Standard MIDI File (plain or in a RIFF "RMID" wrapper). The name
// only words the refusal of a file whose first bytes are neither: one named as an RCP file is no
// RCP file, rather than no MIDI file.

#include "sequencer/songscore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kyro {

// Texts of the player and the converters alike.
// A file larger than kMaxMidiFileBytes (the player and the converters read every song whole).
inline constexpr char kSongFileTooLargeText[] = "ファイルが大きすぎます (16 MiB を超えています)";
// A file named .RCP, .R36, .G18 or .G36 that starts as neither an RCP nor a MIDI file.
inline constexpr char kNotRcpFileText[] = "RCP ファイルではありません (見知らぬ形式です)";

// The name (or path) ends in an extension of RCP files, in any letter case.
bool HasRcpFileName(std::string_view name);

// fileName is the song file's name or path, for the wording of a refusal only.
ScoreReadResult ReadSongScore(const std::uint8_t* data, std::size_t size, std::string_view fileName = {});
SongReadResult ReadSongFile(const std::uint8_t* data, std::size_t size,
                            std::string_view fileName = {});  // ToSong(ReadSongScore)

// Reads the regular file at nativePath (at most kMaxMidiFileBytes) and parses it.
ScoreReadResult ReadSongScoreAt(const std::string& nativePath);

}  // namespace kyro
