#pragma once
// What the archive benchmarks share: the archive library loaded as the program loads it, a
// scratch folder under /tmp with its DOS name, and seconds from the steady clock.

#include "platform/drives.h"
#include "platform/filesystem.h"
#include "songfiles/archivelibrary.h"

#include "scratchfolder.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace kyro::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The resolver the program hands the library, for measuring the conversion on its own.
inline int ResolveDosPath(const char* dosPath, char* out, size_t size) {
    auto native = ActiveDriveMap().ToNative(dosPath ? dosPath : "");
    if (!native || native->size() + 1 > size) return 0;
    std::memcpy(out, native->c_str(), native->size() + 1);
    return 1;
}

// libunlha32.so from the folder given as the first argument, else the build's; nullptr after
// saying why it did not load.
inline std::unique_ptr<ArchiveLibrary> LoadArchiveLibrary(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : KYRO_UNLHA32_DIR;
    auto loaded = ArchiveLibrary::Load(folder, folder);
    if (!loaded.library) {
        std::fprintf(stderr, "libunlha32.so not loaded from %s (%s)\n", folder.c_str(), loaded.failureName.c_str());
        return nullptr;
    }
    loaded.library->UseActiveDriveMap();
    return std::move(loaded.library);
}

}  // namespace kyro::bench
