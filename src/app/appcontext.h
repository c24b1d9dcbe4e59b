#pragma once
// What the program is started with: where it lives and what its environment says.

#include "library/settings.h"
#include "sequencer/playercontrol.h"
#include "songfiles/archivelibrary.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kyro {

struct AppContext {
    std::string programFolderNative;  // holds the settings, list, title, resume and reset files
    std::string exeFolderNative;      // where the executable is; searched first for the archive library
    // The run holds the program folder's lock: every leftover of a save there is from a run that
    // has ended. Without it (a folder where the lock cannot be made) only process numbers tell.
    bool soleWriter = false;
    std::vector<std::string> filesToOpen;  // native paths from the command line, test-played after start-up
    // The program folder was made by this start (an installed copy's first run): with no songs
    // yet, the list editor opens on the user's music folder instead of the no-songs message.
    bool newProgramFolder = false;
    std::string musicFolderNative;
    StartupEnvironment env;
    std::string archiveLibraryFile = kArchiveLibraryFile;
    std::size_t lineBufferBytes = 32767;  // the list loader's line buffer, made in start-up step 3
    // Makes the player control for the settings file (native path) whose [MIDI] section chooses
    // the output; empty for the real sequencer. Tests hand in a recording control.
    std::function<std::unique_ptr<PlayerControl>(const std::string& settingsFile)> makePlayer;
};

}  // namespace kyro
