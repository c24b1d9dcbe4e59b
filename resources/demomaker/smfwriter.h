#pragma once
// A small Standard MIDI File writer for the demo songs: events at absolute ticks on numbered
// tracks, written as format 0 (every track merged into one) or format 1 (track 0 the conductor).

#include <cstdint>
#include <string>
#include <vector>

namespace kyro::demo {

inline constexpr int kTicksPerQuarter = 480;

struct TimedEvent {
    std::uint32_t tick = 0;
    int rank = 0;       // order at the same tick: meta 0, setup 1, note-off 2, note-on 3
    std::string bytes;  // the complete event without its delta time
};

class SmfBuilder {
public:
    explicit SmfBuilder(int trackCount) : tracks_(trackCount) {}

    void Meta(int track, std::uint32_t tick, std::uint8_t type, const std::string& data);
    void Tempo(std::uint32_t tick, double bpm);  // on track 0
    void TimeSignature(std::uint32_t tick, int beatsPerBar);  // x/4, on track 0
    void Control(int track, std::uint32_t tick, int channel, int controller, int value);
    void Program(int track, std::uint32_t tick, int channel, int program);
    void Note(int track, std::uint32_t tick, std::uint32_t length, int channel, int key, int velocity);

    std::uint32_t LastTick() const;  // the latest tick of any event

    // The file, every track ending at `endTick` (or at its last event when that is later).
    std::string Build(int format, std::uint32_t endTick) const;

private:
    void Add(int track, TimedEvent e);
    std::vector<std::vector<TimedEvent>> tracks_;
};

}  // namespace kyro::demo
