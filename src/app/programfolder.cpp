#include "app/programfolder.h"

#include "platform/filesystem.h"

#include "app/windowedmain.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kyro {

namespace fs = std::filesystem;

namespace {

ProgramFolderChoice Failure(const std::string& text) { return {{}, text}; }

// The user's data folder of this program; empty when the environment names no home.
fs::path DataFolder(const DataFolderEnvironment& env) {
    // A relative XDG_DATA_HOME is to be ignored, as if unset.
    if (!env.xdgDataHome.empty() && fs::path(env.xdgDataHome).is_absolute())
        return fs::path(env.xdgDataHome) / "kyrotune";
    if (env.home.empty()) return {};
    return fs::path(env.home) / ".local/share/kyrotune";
}

// Copies in each reset file the data folder lacks, from the first place that has it.
std::string CopyMissingResetFiles(const fs::path& exeFolder, const fs::path& dataFolder) {
    const fs::path places[] = {exeFolder, (exeFolder / kInstalledFilesFolder).lexically_normal()};
    for (const char* name : kResetFileNames) {
        std::error_code ec;
        for (const fs::path& place : places) {
            if (!fs::is_regular_file(place / name, ec)) continue;
            fs::copy_file(place / name, dataFolder / name, fs::copy_options::skip_existing, ec);
            if (ec) return "リセットファイルをコピーできません: " + (dataFolder / name).string();
            break;
        }
    }
    return {};
}

}  // namespace

DataFolderEnvironment DataFolderEnvironment::FromProcess() {
    const char* home = std::getenv("HOME");
    const char* xdg = std::getenv("XDG_DATA_HOME");
    return {home ? home : "", xdg ? xdg : ""};
}

bool IsWritableFolder(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

ProgramFolderChoice ChooseProgramFolder(const std::string& exeFolder, const std::optional<std::string>& folderOption,
                                        const DataFolderEnvironment& env,
                                        const std::function<bool(const std::string&)>& isWritable) {
    std::error_code ec;
    if (folderOption) {
        fs::path folder = fs::absolute(*folderOption, ec).lexically_normal();
        if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();  // "dir/" as "dir"
        if (ec || !fs::is_directory(folder, ec)) return Failure("プログラムフォルダが見つかりません: " + *folderOption);
        return {folder.string(), {}};
    }
    // Without the player's library beside it, the executable is an installed one in a bin folder
    // shared with other programs, which is no place for settings and lists even when writable.
    const bool isProgramFolder = fs::exists(fs::path(exeFolder) / kAppLibraryFile, ec);
    if (isProgramFolder && isWritable(exeFolder)) return {exeFolder, {}};

    const fs::path data = DataFolder(env);
    if (data.empty()) return Failure("HOME が設定されていないため、プログラムフォルダを決められません");
    const bool madeNow = fs::create_directories(data, ec);
    if (ec || !fs::is_directory(data, ec)) return Failure("プログラムフォルダを作れません: " + data.string());
    if (std::string error = CopyMissingResetFiles(exeFolder, data); !error.empty()) return Failure(error);
    return {data.string(), {}, madeNow};
}

}  // namespace kyro
