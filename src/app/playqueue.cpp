#include "app/playqueue.h"

#include <cstdio>

namespace kyro {

QueueEntry MakeQueueEntry(int group, int index) {
    char text[8];
    std::snprintf(text, sizeof text, "%d%03d", group, index);
    return text;
}

bool IsWellFormedEntry(std::string_view entry) {
    if (entry.size() != 4) return false;
    for (char c : entry) {
        if (c < '0' || c > '9') return false;
    }
    return entry[0] <= '8';
}

int EntryGroup(std::string_view entry) { return entry[0] - '0'; }

int EntryIndex(std::string_view entry) {
    return (entry[1] - '0') * 100 + (entry[2] - '0') * 10 + (entry[3] - '0');
}

}  // namespace kyro
