#pragma once
// The one table of outputs that [MIDI] Output= chooses from. A new output is one row here and
// one factory; the engine never changes.

#include "sequencer/midioutput.h"

#include <span>
#include <string>

namespace kyro {

struct OutputKind {
    const char* name;                                      // the value of Output= (compared without case)
    OutputOpenResult (*open)(const OutputSettings& settings);
    const char* description;                               // one line for people choosing an output
};

// Every output, the default ("fluidsynth") first.
std::span<const OutputKind> KnownOutputs();

// "fluidsynth, port, wav, null": the names for error texts.
std::string KnownOutputNames();

}  // namespace kyro
