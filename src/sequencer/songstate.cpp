#include "sequencer/songstate.h"

#include <algorithm>
#include <map>

namespace kyro {

namespace {

// Controllers whose meaning depends on the ones sent before them: bank select MSB/LSB (0, 32)
// chooses what the next program change means; data entry (6, 38) and increment/decrement (96, 97)
// act on the parameter chosen by NRPN (98, 99) and RPN (100, 101); reset all controllers (121)
// resets what came before it; local control and the mode messages (122, 124-127).
bool IsOrderedController(int number) {
    switch (number) {
    case 0: case 32: case 6: case 38: case 96: case 97: case 98: case 99: case 100: case 101:
    case 121: case 122: case 124: case 125: case 126: case 127:
        return true;
    default:
        return false;
    }
}

}  // namespace

void HeldNotes::Track(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return;
    const int status = data[0] & 0xF0;
    const int channel = data[0] & 0x0F;
    if (status == 0x90 && size >= 3) {
        held_[channel][data[1] & 0x7F] = data[2] != 0;  // velocity 0 is a note-off
    } else if (status == 0x80 && size >= 3) {
        held_[channel][data[1] & 0x7F] = false;
    } else if (status == 0xB0 && size >= 3 && (data[1] == 120 || data[1] == 123)) {
        held_[channel].reset();
    }
}

bool HeldNotes::Any() const {
    return std::any_of(held_.begin(), held_.end(), [](const auto& keys) { return keys.any(); });
}

void HeldNotes::Clear() {
    for (auto& keys : held_) keys.reset();
}

std::vector<std::size_t> ChannelSetupBefore(const std::vector<SongEvent>& events, std::size_t end) {
    end = std::min(end, events.size());
    std::vector<std::size_t> kept;
    // Key: status byte (with channel) * 128 + controller number; the last index seen for it.
    std::map<int, std::size_t> latest;
    for (std::size_t i = 0; i < end; ++i) {
        const auto& m = events[i].message;
        if (m.empty()) continue;
        const int status = m[0] & 0xF0;
        if (m[0] == 0xF0 || m[0] == 0xF7) {
            kept.push_back(i);
        } else if (status == 0xC0 && m.size() >= 2) {
            kept.push_back(i);
        } else if (status == 0xB0 && m.size() >= 3) {
            if (m[1] == 120 || m[1] == 123) continue;
            if (IsOrderedController(m[1]))
                kept.push_back(i);
            else
                latest[m[0] * 128 + m[1]] = i;
        } else if ((status == 0xE0 && m.size() >= 3) || (status == 0xD0 && m.size() >= 2)) {
            latest[m[0] * 128] = i;
        }
    }
    for (const auto& [key, index] : latest) kept.push_back(index);
    std::sort(kept.begin(), kept.end());
    return kept;
}

}  // namespace kyro
