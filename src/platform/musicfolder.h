#pragma once
// The user's music folder, where a new user's songs most likely are: XDG_MUSIC_DIR from the
// environment, else from the user-dirs file the desktop writes ($XDG_CONFIG_HOME/user-dirs.dirs,
// ~/.config/user-dirs.dirs by default), else the home folder. A folder that is not there is passed
// over: a desktop names ~/Music whether or not it was ever made.

#include <string>

namespace kyro {

struct UserFolderEnvironment {
    std::string home;           // $HOME
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME, "" when unset
    std::string xdgMusicDir;    // $XDG_MUSIC_DIR, "" when unset
    static UserFolderEnvironment FromProcess();
};

// A native folder that exists; empty when not even the home folder does.
std::string MusicFolder(const UserFolderEnvironment& env);

}  // namespace kyro
