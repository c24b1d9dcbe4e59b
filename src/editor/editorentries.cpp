#include "editor/editorentries.h"

#include "platform/cp932.h"

namespace kyro {

EditorEntry EntryFromSong(const SongEntry& song) {
    // The file name part is found from the start: 0x5C may be the second byte of "表".
    const std::size_t nameLength = FileNamePart(song.path).size();
    const std::size_t folderLength = song.path.size() - nameLength;
    return {song.path.substr(0, folderLength), song.path.substr(folderLength), song.title, song.map};
}

std::vector<EditorEntry> EntriesOfGroup(const SongGroup& group) {
    std::vector<EditorEntry> entries;
    entries.reserve(group.Count());
    for (int k = 0; k < group.Count(); ++k) entries.push_back(EntryFromSong(group.Entry(k)));
    return entries;
}

void StoreEntries(const std::vector<EditorEntry>& entries, SongGroup& group) {
    group.Clear();
    for (const auto& e : entries) group.Append({e.FullPath(), e.title, e.map});
}

std::optional<std::pair<int, int>> ContiguousRun(const std::vector<bool>& selected) {
    const std::vector<int> indexes = SelectedIndexes(selected);
    if (indexes.empty() || indexes.back() - indexes.front() + 1 != static_cast<int>(indexes.size())) return std::nullopt;
    return std::make_pair(indexes.front(), indexes.back());
}

std::vector<int> SelectedIndexes(const std::vector<bool>& selected) {
    std::vector<int> indexes;
    for (std::size_t i = 0; i < selected.size(); ++i)
        if (selected[i]) indexes.push_back(static_cast<int>(i));
    return indexes;
}

}  // namespace kyro
