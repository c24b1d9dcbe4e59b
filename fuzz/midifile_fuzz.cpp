// libFuzzer target for the Standard MIDI File reader: any bytes must give either a song whose
// events are in order and within its length, or a failure with a text.

#include "songcheck.h"

#include "sequencer/midifile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckSongReadResult(kyro::ReadMidiFile(data, size));
    return 0;
}
