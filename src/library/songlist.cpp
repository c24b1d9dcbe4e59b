#include "library/songlist.h"

namespace kyro {

bool IsMapCode(char c) { return c >= '0' && c <= '4'; }

bool SongGroup::Append(const SongEntry& e) {
    if (Full()) return false;
    paths_.push_back(e.path);
    titles_.push_back(e.title);
    maps_.push_back(e.map);
    return true;
}

// Positions outside the group are ignored: a stale index from a window must not bring the
// program down or leave the three sequences of different lengths.
void SongGroup::Replace(int k, const SongEntry& e) {
    if (k < 0 || k >= Count()) return;
    paths_[k] = e.path;
    titles_[k] = e.title;
    maps_[k] = e.map;
}

void SongGroup::SetTitle(int k, const std::string& title) {
    if (k < 0 || k >= Count()) return;
    titles_[k] = title;
}

void SongGroup::Remove(int k) {
    if (k < 0 || k >= Count()) return;
    paths_.erase(paths_.begin() + k);
    titles_.erase(titles_.begin() + k);
    maps_.erase(maps_.begin() + k);
}

void SongGroup::Clear() {
    paths_.clear();
    titles_.clear();
    maps_.clear();
}

SongList::SongList() {
    for (int g = 0; g < kGroupCount; ++g) groupNames[g] = "Group" + std::to_string(g + 1);
}

bool SongList::Empty() const {
    for (const auto& group : groups)
        if (group.Count() > 0) return false;
    return true;
}

}  // namespace kyro
