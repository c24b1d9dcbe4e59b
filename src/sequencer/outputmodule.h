#pragma once
// The outputs that need sound libraries (FluidSynth with its audio drivers and codecs, RtMidi,
// ALSA) are built into a module of their own, libkyrotune-outputs.so, loaded the first time one
// of them is opened or the MIDI ports are listed. A player on the null output, or one that has
// not played yet, maps none of those libraries.

#include "sequencer/midioutput.h"

#include <string>
#include <vector>

namespace kyro {

struct OutputModule {
    OutputOpenResult (*openFluidSynth)(const OutputSettings& settings);
    OutputOpenResult (*openWav)(const OutputSettings& settings);
    OutputOpenResult (*openPort)(const OutputSettings& settings);
    std::vector<std::string> (*listMidiPorts)();
};

inline constexpr char kOutputModuleFile[] = "libkyrotune-outputs.so";
inline constexpr char kOutputModuleSymbol[] = "KyroOutputModule";  // extern "C" const OutputModule* ()
using OutputModuleFunction = const OutputModule* (*)();

// The module, loaded on the first call and kept (its outputs' code lives there). Looked for beside
// the player's library (the program folder, or lib/kyrotune when installed); from the kyrotune
// executable (the WAV converter), beside it, then in lib/kyrotune of its installed prefix; from a
// test or benchmark, in the build's program folder. Null when it cannot be loaded, with a plain
// text in `error`.
const OutputModule* LoadOutputModule(std::string& error);

}  // namespace kyro
