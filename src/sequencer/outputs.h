#pragma once
// The one table of outputs that [MIDI] Output= chooses from. A new output is one row here and
// one factory; the engine never changes.

#include "sequencer/midioutput.h"

#include <span>
#include <string>
#include <vector>

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

// The MIDI output ports of the ALSA sequencer by the names Port= takes ("SC-88:SC-88 MIDI 1",
// without the client and port numbers, which change between boots); none when there is no
// sequencer (no sound modules, a container).
std::vector<std::string> ListMidiPorts();

}  // namespace kyro
