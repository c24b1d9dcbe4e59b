#pragma once
// What the engine remembers of a song's channels: the notes now sounding (so that a stop can end
// each one), and the messages that set up the channels before a position (so that playing from
// the middle of a song sounds as it would have had the song played from its start).

#include "sequencer/song.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyro {

// Notes sounding per channel and key, followed message by message.
class HeldNotes {
public:
    void Track(const std::uint8_t* data, std::size_t size);
    bool IsHeld(int channel, int key) const { return held_[channel][key]; }
    bool Any() const;
    void Clear();

private:
    std::array<std::bitset<128>, 16> held_;
};

// The indices, in playing order, of the events before `end` that a channel's state depends on:
// every SysEx, program change and controller whose order matters (bank select, RPN and NRPN
// selection and data entry, reset all controllers, mode messages), and of every other controller,
// pitch bend and channel pressure only the last one per channel. Notes and the pure silencing
// messages (all sound off, all notes off) are left out.
std::vector<std::size_t> ChannelSetupBefore(const std::vector<SongEvent>& events, std::size_t end);

}  // namespace kyro
