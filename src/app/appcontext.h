#pragma once
// What the program is started with: where it lives and what its environment says.

#include "library/settings.h"
#include "songfiles/archivelibrary.h"

#include <cstddef>
#include <string>

namespace kyro {

struct AppContext {
    std::string programFolderNative;  // holds the settings, list, title, resume and reset files
    std::string exeFolderNative;      // where the executable is; searched first for the archive library
    StartupEnvironment env;
    std::string archiveLibraryFile = kArchiveLibraryFile;
    std::size_t lineBufferBytes = 32767;  // the list loader's line buffer, made in start-up step 3
};

}  // namespace kyro
