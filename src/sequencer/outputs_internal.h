#pragma once
// The factories behind the table of outputs (outputs.cpp), and the pieces of them that tests
// check without a sound card or a MIDI system. All but the null output are built into the output
// module (outputmodule.h), which the table loads when one of them is opened.

#include "sequencer/midioutput.h"

#include <optional>
#include <string>
#include <vector>

namespace kyro {

OutputOpenResult OpenNullOutput(const OutputSettings& settings);
OutputOpenResult OpenFluidSynthOutput(const OutputSettings& settings);
OutputOpenResult OpenWavOutput(const OutputSettings& settings);
OutputOpenResult OpenPortOutput(const OutputSettings& settings);
std::vector<std::string> ListRtMidiPorts();  // ListMidiPorts (outputs.h), in the output module

// The port to open among the names the MIDI system lists: a name equal to `wanted` (also when
// the listed name carries ALSA's client and port numbers, "SC-88:SC-88 MIDI 1 20:0", which change
// between boots), else the first name that contains it without regard to letter case. An empty
// `wanted` chooses nothing: there is no default port.
std::optional<std::size_t> ChoosePort(const std::vector<std::string>& listed, const std::string& wanted);

// The error text for a port that was not found, listing the ports there are.
std::string PortNotFoundText(const std::vector<std::string>& listed, const std::string& wanted);

}  // namespace kyro
