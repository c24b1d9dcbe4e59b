#pragma once
// The entries of the group the list editor shows, without widgets. An entry's path is kept as its
// folder (up to and including the last "\") and the rest, because the entry list shows either the
// rest alone or the whole path.

#include "library/songlist.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kyro {

struct EditorEntry {
    std::string folder;  // "D:\MIDI\", up to and including the path's last "\"
    std::string name;    // "SONG.MID" or "PACK.LZH->song.mid"
    std::string title;
    char map = '0';

    std::string FullPath() const { return folder + name; }
    std::string DisplayText(bool detailView) const { return detailView ? FullPath() : name; }
};

EditorEntry EntryFromSong(const SongEntry& song);
std::vector<EditorEntry> EntriesOfGroup(const SongGroup& group);
void StoreEntries(const std::vector<EditorEntry>& entries, SongGroup& group);  // replaces the group's songs

// The first and last index of the selection when it is one unbroken run; nothing for no
// selection or a selection with a gap.
std::optional<std::pair<int, int>> ContiguousRun(const std::vector<bool>& selected);

// The indexes of the selected entries, ascending.
std::vector<int> SelectedIndexes(const std::vector<bool>& selected);

}  // namespace kyro
