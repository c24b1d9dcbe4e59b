#include "platform/musicfolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace kyro {

namespace {

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::path(path).is_absolute() && std::filesystem::is_directory(path, ec);
}

// The value of XDG_MUSIC_DIR in a user-dirs file: XDG_MUSIC_DIR="$HOME/Music", the only forms
// allowed being "$HOME/..." and an absolute path.
std::string MusicDirOfUserDirs(const std::string& file, const std::string& home) {
    std::ifstream in(file);
    const std::string key = "XDG_MUSIC_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(key) || !line.ends_with("\"")) continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME")) value = home + value.substr(5);
        return value;
    }
    return {};
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

UserFolderEnvironment UserFolderEnvironment::FromProcess() {
    return {Variable("HOME"), Variable("XDG_CONFIG_HOME"), Variable("XDG_MUSIC_DIR")};
}

std::string MusicFolder(const UserFolderEnvironment& env) {
    if (IsFolder(env.xdgMusicDir)) return env.xdgMusicDir;
    const std::string config =
        std::filesystem::path(env.xdgConfigHome).is_absolute() ? env.xdgConfigHome : env.home + "/.config";
    if (const std::string music = MusicDirOfUserDirs(config + "/user-dirs.dirs", env.home); IsFolder(music))
        return music;
    return IsFolder(env.home) ? env.home : std::string();
}

}  // namespace kyro
