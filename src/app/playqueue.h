#pragma once
// The play queue: each entry names a song by four characters, the group digit '0'..'8' and the
// index in that group as three digits ("2011" is the twelfth song of Group3).

#include <string>
#include <string_view>
#include <vector>

namespace kyro {

using QueueEntry = std::string;
using PlayQueue = std::vector<QueueEntry>;

// Nine groups of 999 songs.
inline constexpr int kMaxQueueLength = 8991;

// group 0..8, index 0..998.
QueueEntry MakeQueueEntry(int group, int index);

// Four digits, the first one '0'..'8'.
bool IsWellFormedEntry(std::string_view entry);

// Of a well-formed entry.
int EntryGroup(std::string_view entry);
int EntryIndex(std::string_view entry);

}  // namespace kyro
