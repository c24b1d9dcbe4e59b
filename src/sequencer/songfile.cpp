#include "sequencer/songfile.h"

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"

namespace kyro {

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
