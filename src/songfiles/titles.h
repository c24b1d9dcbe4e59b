#pragma once
// Reading a song's title from a Standard MIDI File or an RCP sequencer file on disk. Titles are
// CP932 bytes, at most 80 bytes, never ending in the first byte of a two-byte character. A song
// inside an archive is unpacked first (archiveaccess.h) and its copy deleted afterwards.

#include <string>

namespace kyro {

// "タイトル未設定": the title of a MIDI file with no text or name event before its first
// end of track.
inline const std::string kTitleNotSet = "\x83\x5e\x83\x43\x83\x67\x83\x8b\x96\xa2\x90\xdd\x92\xe8";

inline constexpr std::size_t kTitleMaxBytes = 80;

// Results of the title readers.
inline constexpr int kTitleRead = 0;
inline constexpr int kTitleCannotOpen = 1;   // the title is left unchanged
inline constexpr int kTitleUnreadable = 2;   // RCP only: nothing at the title position; unchanged

// A plain byte scan from the start of the file, no chunk parsing: the first FF 01 (text) or
// FF 03 (name) meta event gives the title, an FF 2F (end of track) before it gives kTitleNotSet.
// The byte after the type is taken as the length, as the program always did: a length field of
// two or more bytes therefore puts its remaining bytes at the start of the title. At most 80
// bytes are read, stopping after a line feed (kept); the title ends at its first NUL.
int ReadMidiTitle(const std::string& dosPath, std::string& title);

// The title field at offset 32, read up to a line feed (kept), cut at its first NUL; spaces are
// kept. A file with the 2.x signature has a 64-byte field followed by the memo, so at most 64
// bytes are read there; any other file gets 80 bytes.
int ReadRcpTitle(const std::string& dosPath, std::string& title);

}  // namespace kyro
