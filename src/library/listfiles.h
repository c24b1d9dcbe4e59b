#pragma once
// The list file KYROList.dat and the title file KYROTitl.dat: 8991 lines each, slot j of group g
// on line g * 999 + j + 1. A list line is the map code followed by the path; a title line is the
// title. Both are CP932 bytes, written with CR LF; a reader also accepts LF.

#include "library/songlist.h"

#include <array>
#include <map>
#include <string>
#include <vector>

namespace kyro {

inline const char kListFileName[] = "KYROList.dat";
inline const char kTitleFileName[] = "KYROTitl.dat";

// A list line is cut to this many bytes, as the old program's line buffer did.
inline constexpr std::size_t kMaxLineBytes = 32766;

// Where the loaded songs stand in the files. A list written by this program has each group's
// songs on its first lines; a hand-edited one, or one from another tool, may have empty lines
// between them and lines that were dropped as invalid. The titles are written back to the lines
// their songs came from, so that they stay with their songs while the list file is left as it is.
struct ListLayout {
    std::array<std::vector<int>, kGroupCount> lines;  // line index (0 to 8990) of each entry
    std::map<int, std::string> strayTitles;           // titles of lines that gave no entry

    // The layout of the files SaveSongList writes: entry k of group g on line g * 999 + k.
    static ListLayout Packed(const SongList& list);
    bool Fits(const SongList& list) const;  // one line for every entry of every group
};

struct ListLoadResult {
    bool quitRequested = false;  // the user chose Cancel on the invalid-line question
    ListLayout layout;
};

// Loads both files from `programFolder` (DOS form, ending in "\") into the groups of `list`
// (group names are left alone). Invalid lines are dropped; with warning bit 0x0004 of
// `warningMsg` the user is asked about them (Yes: skip all silently, No: skip this one,
// Cancel: stop reading and request the end of the program).
ListLoadResult LoadSongList(const std::string& programFolder, int warningMsg, SongList& list);

// Writes both files; on failure shows its message, changes neither file and returns false.
bool SaveSongList(const std::string& programFolder, const SongList& list);

// Writes the title file alone, each title on the line of `layout` (the packed layout when it
// does not fit the list); on failure shows its message and returns false.
bool SaveTitles(const std::string& programFolder, const SongList& list, const ListLayout& layout);

// A title as it is stored: each CR and LF replaced by a space, so the file keeps a line a slot.
std::string TitleForFile(const std::string& title);

}  // namespace kyro
