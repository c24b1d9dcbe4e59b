#include "sequencer/songfile.h"

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"

#include <cstring>

namespace kyro {

bool IsKnownSongFile(const std::uint8_t* data, std::size_t size) {
    if (!data) return false;
    const auto startsWith = [&](std::size_t at, const char* tag) {
        return size >= at + 4 && std::memcmp(data + at, tag, 4) == 0;
    };
    return startsWith(0, "MThd") || (startsWith(0, "RIFF") && startsWith(8, "RMID")) || IsRcpFile(data, size);
}

ScoreReadResult ReadSongScore(const std::uint8_t* data, std::size_t size) {
    return IsRcpFile(data, size) ? ReadRcpScore(data, size) : ReadMidiScore(data, size);
}

SongReadResult ReadSongFile(const std::uint8_t* data, std::size_t size) { return ToSong(ReadSongScore(data, size)); }

ScoreReadResult ReadSongScoreAt(const std::string& nativePath) {
    std::vector<std::uint8_t> bytes;
    ScoreReadResult result;
    if (!ReadSongBytesAt(nativePath, bytes, result.error)) return result;
    return ReadSongScore(bytes.data(), bytes.size());
}

}  // namespace kyro
