#pragma once
// The lha command of Debian's lhasa package, as an independent reader to check the library and
// the fixtures against.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace kyro::test {

inline bool HaveLhaCommand() { return std::filesystem::exists("/usr/bin/lha"); }

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// `lha t`: 0 when every member's data checks out. lha also exits 0 on a file it finds no
// member in, so callers count members themselves.
inline int LhaTest(const std::string& archive) {
    return std::system(("/usr/bin/lha t " + ShellQuote(archive) + " >/dev/null 2>&1").c_str());
}

// Every file under `folder`, by its path relative to it ("/" between folders, names as bytes).
inline std::map<std::string, std::string> FilesUnder(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[entry.path().lexically_relative(folder).string()] = bytes.str();
    }
    return files;
}

// `lha xw=FOLDER archive`: unpacks every member below `folder` (which must exist); the files it
// wrote, as FilesUnder gives them. lha writes names as liblhasa reads them.
inline std::map<std::string, std::string> LhaExtractAll(const std::string& archive, const std::string& folder,
                                                        int* exitCode = nullptr) {
    int code = std::system(("cd " + ShellQuote(folder) + " && /usr/bin/lha xqw=" + ShellQuote(folder) + " " +
                            ShellQuote(archive) + " >/dev/null 2>&1")
                               .c_str());
    if (exitCode) *exitCode = code;
    return FilesUnder(folder);
}

}  // namespace kyro::test
