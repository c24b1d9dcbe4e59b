#pragma once
// A song as text, one event a line ("<µs> <hex bytes>"), for readable test failures and golden
// files.

#include "sequencer/song.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kyro::test {

inline std::string DumpEvent(const SongEvent& e) {
    std::string line = std::to_string(e.timeUs);
    for (std::uint8_t b : e.message) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    return line;
}

inline std::vector<std::string> DumpEvents(const Song& song) {
    std::vector<std::string> lines;
    for (const SongEvent& e : song.events) lines.push_back(DumpEvent(e));
    return lines;
}

inline std::string DumpSong(const Song& song) {
    std::string text;
    for (const SongEvent& e : song.events) text += DumpEvent(e) + "\n";
    text += "length " + std::to_string(song.lengthUs) + "\n";
    return text;
}

}  // namespace kyro::test
