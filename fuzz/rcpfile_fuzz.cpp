// libFuzzer target for the song readers as the player uses them (RCP or MIDI, by the first
// bytes): any bytes must give either a song whose events are in order and within its length,
// within the readers' caps, or a failure with a text.

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"
#include "sequencer/rcpplay.h"
#include "sequencer/songfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kyro::SongReadResult r = kyro::ReadSongFile(data, size);
    if (!r.ok) {
        if (r.error.empty()) std::abort();  // every failure has a text for the user
        return 0;
    }
    std::int64_t previous = 0;
    for (const kyro::SongEvent& e : r.song.events) {
        if (e.message.empty() || e.timeUs < previous) std::abort();
        previous = e.timeUs;
    }
    if (r.song.lengthUs < previous || r.song.lengthUs > kyro::kMaxSongUs) std::abort();
    if (kyro::IsRcpFile(data, size) && r.song.events.size() > kyro::rcp::kMaxEvents) std::abort();
    return 0;
}
