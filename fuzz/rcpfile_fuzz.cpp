// libFuzzer target for the song readers as the player uses them (RCP or MIDI, by the first
// bytes): any bytes must give either a song whose events are in order and within its length,
// within the RCP reader's event cap, or a failure with a text.

#include "songcheck.h"

#include "sequencer/rcpfile.h"
#include "sequencer/rcpplay.h"
#include "sequencer/songfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kyro::SongReadResult r = kyro::ReadSongFile(data, size);
    CheckSongReadResult(r);
    if (r.ok && kyro::IsRcpFile(data, size) && r.song.events.size() > kyro::rcp::kMaxEvents) std::abort();
    return 0;
}
