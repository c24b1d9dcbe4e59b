#pragma once
// Which folder is the program folder (settings, lists, resume and reset files), for the player and
// for the converter alike.
//
// --folder DIR always wins. Otherwise the executable's folder is the program folder when it is one
// (the player's library lies beside the executable, as in the build folder) and can be written.
// An installed copy (bin/kyrotune, the rest in lib/kyrotune) or a read-only program folder uses
// $XDG_DATA_HOME/kyrotune instead (~/.local/share/kyrotune when XDG_DATA_HOME is unset or not
// absolute): made on first start, and any reset file it lacks copied in from beside the
// executable or from ../lib/kyrotune. Reset files already there are the user's and stay.

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace kyro {

inline constexpr std::array<const char*, 4> kResetFileNames = {"GM.MID", "55MAP.MID", "88MAP.MID", "88Pro.MID"};

struct DataFolderEnvironment {
    std::string home;         // $HOME
    std::string xdgDataHome;  // $XDG_DATA_HOME, "" when unset
    static DataFolderEnvironment FromProcess();
};

struct ProgramFolderChoice {
    std::string folder;  // native, absolute; empty on failure
    std::string error;   // Japanese, with the path concerned; empty on success
    bool madeNow = false;  // the data folder was made by this choice: a first start
};

// True when this process may create files in the folder (its effective ids, as the kernel decides).
bool IsWritableFolder(const std::string& folder);

ProgramFolderChoice ChooseProgramFolder(const std::string& exeFolder, const std::optional<std::string>& folderOption,
                                        const DataFolderEnvironment& env,
                                        const std::function<bool(const std::string&)>& isWritable = IsWritableFolder);

}  // namespace kyro
