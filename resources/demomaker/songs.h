#pragma once
// The fifteen demo songs: public-domain melodies arranged here, and four tunes of our own; twelve
// Standard MIDI Files and three RCP sequencer files.

#include "arrangement.h"

#include <optional>
#include <string>
#include <vector>

namespace kyro::demo {

enum class SongFileKind { Smf, Rcp2, Rcp3 };

struct DemoSong {
    std::string file;       // the file name in SONGS, or the member name in the archive
    bool archived = false;  // a member of LZH\NIHON.LZH
    int group = 0;          // 0-based
    char map = '0';         // reset map code '0'..'4'
    SongFileKind kind = SongFileKind::Smf;
    TitleEvent titleEvent = TitleEvent::None;  // Standard MIDI Files only; RCP files hold it in the header
    std::string title;                     // UTF-8: the title inside the file
    std::optional<std::string> listTitle;  // UTF-8: the title file's; nothing: not read yet
    int format = 1;                        // Standard MIDI Files only
    std::string bytes;                     // the song file
};

// In list order within each group. Throws std::invalid_argument on a mistake in a score.
std::vector<DemoSong> DemoSongs();

// UTF-8 to CP932; throws when a character has no CP932 code.
std::string Cp932(const std::string& utf8);

}  // namespace kyro::demo
