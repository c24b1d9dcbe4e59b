// Program entry: kyrotune [--folder DIR], kyrotune --to-midi IN OUT [--folder DIR], or
// kyrotune --to-wav IN OUT [--map MAP] [--folder DIR].
//
// The executable itself holds only the conversions, which need no Qt, no display and no sound
// card, so that they start as fast as command-line converters; --to-wav loads the output module
// (libkyrotune-outputs.so) for its synthesizer. Everything else (the windows, the player) is in
// libkyrotune-app.so beside it, loaded when the player runs.
#include "app/tomidi.h"
#include "app/towav.h"
#include "app/windowedmain.h"
#include "platform/filesystem.h"

#include <dlfcn.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Where the library may be: beside the executable (the build folder), or in lib/kyrotune of an
// installed prefix (bin/kyrotune).
std::vector<std::string> AppLibraryPlaces() {
    const std::string folder = kyro::ExecutableFolder();
    if (folder.empty()) return {kAppLibraryFile};
    const std::filesystem::path exe(folder);
    return {(exe / kAppLibraryFile).string(),
            (exe / kyro::kInstalledFilesFolder / kAppLibraryFile).lexically_normal().string()};
}

int RunWindowedProgram(int argc, char** argv) {
    std::string errors;
    for (const std::string& place : AppLibraryPlaces()) {
        void* library = ::dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            errors += std::string("\n  ") + ::dlerror();
            continue;
        }
        const auto run = reinterpret_cast<KyroWindowedMainFunction>(::dlsym(library, kWindowedMainSymbol));
        if (!run) {
            errors += "\n  " + place + ": " + kWindowedMainSymbol + " is missing";
            continue;
        }
        return run(argc, argv);
    }
    std::cerr << "kyrotune: " << kAppLibraryFile << " cannot be loaded:" << errors << "\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (kyro::AsksForMidiConversion(argc, argv)) return kyro::RunMidiConversion(argc, argv, std::cerr);
    if (kyro::AsksForWavConversion(argc, argv)) return kyro::RunWavConversion(argc, argv, std::cerr);
    return RunWindowedProgram(argc, argv);
}
