#pragma once
// The Standard MIDI File reader: formats 0, 1 and 2, ticks per quarter note or SMPTE time
// division, running status, SysEx in both forms, the tempo map, and the RIFF "RMID" wrapper.
// It turns a file into a Song (absolute microseconds, playing order) and needs no Qt, so that
// the fuzz target links it alone.
//
// Damage: a file that is not a MIDI file, or is damaged anywhere but at its end, fails with a
// plain text. Old collections hold many files cut short by a few bytes, so a file whose damage is
// only at the end (the last track or the last tracks cut off by the end of the file) plays what
// could be read, as long as that is at least one event; otherwise it fails as well.
// A track is damaged by: a status byte other than a real-time one where a data byte belongs (the
// reader cannot know where the next delta time starts, so it does not try to resync), a data byte
// with no channel status before it, a variable-length quantity of more than four bytes, or an event
// running past the end of a chunk that is not the file's end. Like other players, the reader goes
// on where the rest of the track stays unambiguous: running status carries over meta events, SysEx
// and system common messages; system common messages are skipped with their data, and real-time
// bytes are skipped wherever they stand, even inside a message's data.
// Chunks of other types are skipped; anything after the declared number of tracks is ignored.

#include "sequencer/songscore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kyro {

// Limits that keep a hostile file from taking unbounded memory or time.
inline constexpr std::size_t kMaxMidiFileBytes = 16u * 1024 * 1024;   // ReadMidiFileAt refuses more
inline constexpr std::size_t kMaxMidiEvents = 4'000'000;              // stored events and tempo changes
inline constexpr std::size_t kMaxSysExBytes = 1024 * 1024;            // one SysEx message
inline constexpr std::int64_t kMaxSongUs = 24LL * 3600 * 1000 * 1000; // a day of music is absurd

// The file starts as a Standard MIDI File ("MThd") or its RIFF wrapper ("RIFF", then "RMID") does.
bool IsMidiFile(const std::uint8_t* data, std::size_t size);

// Parses a whole file held in memory (a file on disk, or a song inside an archive).
ScoreReadResult ReadMidiScore(const std::uint8_t* data, std::size_t size);
SongReadResult ReadMidiFile(const std::uint8_t* data, std::size_t size);  // ToSong(ReadMidiScore)

// The bytes of the song file at nativePath: a regular file of at most kMaxMidiFileBytes.
bool ReadSongBytesAt(const std::string& nativePath, std::vector<std::uint8_t>& bytes, std::string& error);

// Reads the file at nativePath (at most kMaxMidiFileBytes) and parses it.
SongReadResult ReadMidiFileAt(const std::string& nativePath);

}  // namespace kyro
