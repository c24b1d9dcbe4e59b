#pragma once
// The twelve demo songs: public-domain melodies arranged here, and three tunes of our own.

#include "arrangement.h"

#include <optional>
#include <string>
#include <vector>

namespace kyro::demo {

struct DemoSong {
    std::string file;       // the file name in SONGS, or the member name in the archive
    bool archived = false;  // a member of LZH\NIHON.LZH
    int group = 0;          // 0-based
    char map = '0';         // reset map code '0'..'4'
    TitleEvent titleEvent = TitleEvent::None;
    std::string title;                     // UTF-8: the title inside the file
    std::optional<std::string> listTitle;  // UTF-8: the title file's; nothing: not read yet
    int format = 1;
    std::string bytes;                     // the Standard MIDI File
};

// In list order within each group. Throws std::invalid_argument on a mistake in a score.
std::vector<DemoSong> DemoSongs();

// UTF-8 to CP932; throws when a character has no CP932 code.
std::string Cp932(const std::string& utf8);

}  // namespace kyro::demo
