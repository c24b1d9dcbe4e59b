// Program entry: kyrotune [--folder DIR] [FILE…], kyrotune --to-midi IN OUT [--folder DIR],
// kyrotune --to-wav IN OUT [--map MAP] [--folder DIR], kyrotune --help, kyrotune --version.
//
// The executable itself holds only the conversions and the help, which need no Qt, no display and
// no sound card, so that they start as fast as command-line programs and work on a server;
// --to-wav loads the output module (libkyrotune-outputs.so) for its synthesizer. Everything else
// (the windows, the player) is in libkyrotune-app.so beside it, loaded when the player runs.
#include "app/conversioncommand.h"
#include "app/tomidi.h"
#include "app/towav.h"
#include "app/windowedmain.h"
#include "platform/filesystem.h"

#include <dlfcn.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifndef KYRO_VERSION
#error "KYRO_VERSION (the project's version) must be defined by the build"
#endif

namespace {

constexpr char kUsage[] =
    "Usage: kyrotune [--folder DIR] [FILE…]\n"
    "       kyrotune --to-midi IN OUT [--folder DIR]\n"
    "       kyrotune --to-wav IN OUT [--map none|88|55|GM|8P] [--folder DIR]\n"
    "\n"
    "Kyrotune, a MIDI jukebox: plays its song list in a window, or converts one song.\n"
    "\n"
    "  FILE…             songs to test-play (the first playable one); a player already\n"
    "                    running on the program folder is given them instead\n"
    "  --folder DIR      use DIR as the program folder (settings, lists, reset files)\n"
    "  --to-midi IN OUT  write the song IN as the Standard MIDI File OUT\n"
    "  --to-wav IN OUT   render the song IN to the WAV file OUT (44100 Hz, 16-bit stereo)\n"
    "  --map MAP         with --to-wav: send the reset file of map MAP first (default none)\n"
    "  -h, --help        show this text\n"
    "  --version         show the version\n"
    "\n"
    "The conversions, --help and --version need no display.\n";

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
    // Before anything else, so that they answer wherever the program is, display or none.
    if (kyro::CommandLineHas(argc, argv, "--help") || kyro::CommandLineHas(argc, argv, "-h")) {
        std::cout << kUsage;
        return 0;
    }
    if (kyro::CommandLineHas(argc, argv, "--version")) {
        std::cout << "kyrotune " KYRO_VERSION "\n";
        return 0;
    }
    if (kyro::AsksForMidiConversion(argc, argv)) return kyro::RunMidiConversion(argc, argv, std::cerr);
    if (kyro::AsksForWavConversion(argc, argv)) return kyro::RunWavConversion(argc, argv, std::cerr);
    return RunWindowedProgram(argc, argv);
}
