#pragma once
// A fresh native folder for one archive test, removed when the test ends, with helpers for the
// DOS form the archive library is given ("Z:\tmp\..." through the default Z: = "/").

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kyro::test {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kyro-arc-XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        root_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& relative = "") const { return relative.empty() ? root_ : root_ + "/" + relative; }

    std::string MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(Path(relative));
        return Path(relative);
    }

    void Write(const std::string& relative, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::ofstream out(Path(relative), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Read(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    bool Exists(const std::string& relative) const { return std::filesystem::exists(Path(relative)); }

    // Names of everything directly inside a folder of the scratch area, sorted.
    std::vector<std::string> Entries(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Path(relative))) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string root_;
};

// "/tmp/a b/x.lzh" -> "Z:\tmp\a b\x.lzh" (ASCII paths only).
inline std::string DosPath(const std::string& native) {
    std::string dos = "Z:" + native;
    for (char& c : dos)
        if (c == '/') c = '\\';
    return dos;
}

// A folder in DOS form, ending in "\".
inline std::string DosFolder(const std::string& native) { return DosPath(native) + "\\"; }

}  // namespace kyro::test
