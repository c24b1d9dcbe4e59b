#pragma once
// The song list: nine groups of at most 999 songs, each song a path, a title and a reset map code,
// held as three parallel sequences per group, plus the nine group names. All text is CP932.

#include <array>
#include <string>
#include <vector>

namespace kyro {

inline constexpr int kGroupCount = 9;
inline constexpr int kGroupCapacity = 999;
inline constexpr int kSlotCount = kGroupCount * kGroupCapacity;  // 8991 lines in each list file

// The title of an entry whose title has not been read from its file yet.
inline const std::string kUntitledMarker = "\x81\x7c\x83\x5e\x83\x43\x83\x67\x83\x8b\x96\xa2\x8e\xe6\x93\xbe\x81\x7c";  // "－タイトル未取得－"

// '0' none, '1' 88, '2' 55, '3' GM, '4' 8P: the order of the editor's map choice.
enum class MapCode : char { None = '0', Map88 = '1', Map55 = '2', GM = '3', Map8P = '4' };

bool IsMapCode(char c);  // '0' to '4'

struct SongEntry {
    std::string path;
    std::string title;
    char map = '0';
};

class SongGroup {
public:
    int Count() const { return static_cast<int>(paths_.size()); }
    bool Full() const { return Count() >= kGroupCapacity; }
    const std::string& Path(int k) const { return paths_.at(k); }
    const std::string& Title(int k) const { return titles_.at(k); }
    char Map(int k) const { return maps_.at(k); }
    SongEntry Entry(int k) const { return {Path(k), Title(k), Map(k)}; }

    // All three sequences change together. Append returns false when the group is full.
    bool Append(const SongEntry& e);
    void Replace(int k, const SongEntry& e);
    void SetTitle(int k, const std::string& title);
    void Remove(int k);
    void Clear();

    bool operator==(const SongGroup&) const = default;

private:
    std::vector<std::string> paths_;
    std::vector<std::string> titles_;
    std::vector<char> maps_;
};

struct SongList {
    std::array<SongGroup, kGroupCount> groups;
    std::array<std::string, kGroupCount> groupNames;  // "Group1" ... "Group9" by default

    SongList();
    bool Empty() const;  // every group has no entry
    bool operator==(const SongList&) const = default;
};

}  // namespace kyro
