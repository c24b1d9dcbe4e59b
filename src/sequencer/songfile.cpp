#include "sequencer/songfile.h"

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"

#include <algorithm>
#include <cctype>

namespace kyro {

bool HasRcpFileName(std::string_view name) {
    const std::size_t dot = name.find_last_of("./");
    if (dot == std::string_view::npos || name[dot] != '.') return false;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    constexpr std::string_view kExtensions[] = {"RCP", "R36", "G18", "G36"};
    return std::find(std::begin(kExtensions), std::end(kExtensions), extension) != std::end(kExtensions);
}

ScoreReadResult ReadSongScore(const std::uint8_t* data, std::size_t size, std::string_view fileName) {
    if (IsRcpFile(data, size)) return ReadRcpScore(data, size);
    if (HasRcpFileName(fileName) && !IsMidiFile(data, size)) {
        ScoreReadResult refused;
        refused.error = kNotRcpFileText;
        return refused;
    }
    return ReadMidiScore(data, size);
}

SongReadResult ReadSongFile(const std::uint8_t* data, std::size_t size, std::string_view fileName) {
    return ToSong(ReadSongScore(data, size, fileName));
}

ScoreReadResult ReadSongScoreAt(const std::string& nativePath) {
    std::vector<std::uint8_t> bytes;
    ScoreReadResult result;
    if (!ReadSongBytesAt(nativePath, bytes, result.error)) return result;
    return ReadSongScore(bytes.data(), bytes.size(), nativePath);
}

}  // namespace kyro
