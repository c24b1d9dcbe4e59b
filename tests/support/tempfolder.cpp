#include "support/tempfolder.h"

#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kyro::test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "kyro-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
    native_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Make everything writable again first: tests take write permission away.
    for (auto it = fs::recursive_directory_iterator(native_, ec); !ec && it != fs::recursive_directory_iterator(); ++it)
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(native_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(native_, ec);
}

std::string TempFolder::Dos() const {
    auto dos = ActiveDriveMap().ToDos(native_);
    return dos ? *dos + "\\" : std::string();
}

void TempFolder::Write(const std::string& name, const std::string& bytes) const {
    fs::path p = fs::path(native_) / name;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream in(fs::path(native_) / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string TempFolder::MakeFolder(const std::string& name) const {
    fs::create_directories(Native(name));
    return Native(name);
}

std::vector<std::string> TempFolder::Entries(const std::string& name) const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(native_) / name)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool TempFolder::Exists(const std::string& name) const { return fs::exists(fs::path(native_) / name); }

}  // namespace kyro::test
