// Writes the reset files the player sends before a song of each sound-module map:
//
//   GM.MID     GM System On
//   55MAP.MID  GS reset, then the SC-55 instrument map on all sixteen channels
//   88MAP.MID  GS reset, then the SC-88 map
//   88Pro.MID  GS reset, then the SC-88Pro map
//
// A GS module chooses its instrument map by the bank select LSB (CC#32) that comes before a
// program change: 1 = SC-55 map, 2 = SC-88 map, 3 = SC-88Pro map (0 = the module's own default).
// Each file is a format 0 Standard MIDI File at 120 BPM, 480 ticks per quarter note, so that one
// tick is 500000 / 480 us and 96 ticks are exactly 100 ms.
//
// Usage: makeresetfiles OUTPUT_FOLDER
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kTicksPerQuarter = 480;
constexpr std::uint32_t kTempoUsPerQuarter = 500000;  // 120 BPM
// A module needs time after a reset before it takes the next messages; 100 ms is more than the
// GS and GM documents ask of a module.
constexpr std::uint32_t kResetPauseTicks = 96;  // 96 * 500000 / 480 us = 100 ms

void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }

// A delta time as a variable-length quantity: 7 bits a byte, high bit set on all but the last.
void AppendDelta(Bytes& out, std::uint32_t ticks) {
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = ticks & 0x7F;
        ticks >>= 7;
    } while (ticks);
    while (n > 1) out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void AppendBe32(Bytes& out, std::uint32_t v) { Append(out, {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}); }

// The start of every track: the tempo, at tick 0.
Bytes TrackStart() {
    Bytes t;
    AppendDelta(t, 0);
    Append(t, {0xFF, 0x51, 0x03,  // meta event: set tempo, 3 bytes of microseconds per quarter note
               std::uint8_t(kTempoUsPerQuarter >> 16), std::uint8_t(kTempoUsPerQuarter >> 8),
               std::uint8_t(kTempoUsPerQuarter)});
    return t;
}

void AppendEndOfTrack(Bytes& t, std::uint32_t delta) {
    AppendDelta(t, delta);
    Append(t, {0xFF, 0x2F, 0x00});  // meta event: end of track
}

// MThd (format 0, one track, ticks per quarter note) and the MTrk chunk around the track.
Bytes MidiFile(const Bytes& track) {
    Bytes f;
    Append(f, {'M', 'T', 'h', 'd'});
    AppendBe32(f, 6);                                // header length
    Append(f, {0x00, 0x00,                           // format 0: one multi-channel track
               0x00, 0x01,                           // one track
               kTicksPerQuarter >> 8, kTicksPerQuarter & 0xFF});
    Append(f, {'M', 'T', 'r', 'k'});
    AppendBe32(f, std::uint32_t(track.size()));
    f.insert(f.end(), track.begin(), track.end());
    return f;
}

Bytes GmSystemOn() {
    Bytes t = TrackStart();
    AppendDelta(t, 0);
    Append(t, {0xF0, 0x05,                 // SysEx, 5 bytes follow (F7 included)
               0x7E, 0x7F, 0x09, 0x01,     // universal non-real-time, all devices, GM, GM System On
               0xF7});
    AppendEndOfTrack(t, kResetPauseTicks);  // the module resets before the song starts
    return MidiFile(t);
}

// GS reset, the pause, then on every channel: bank select MSB 0, bank select LSB = the map, and
// program 0, so that the map takes effect at once.
Bytes GsMap(std::uint8_t mapLsb) {
    Bytes t = TrackStart();
    AppendDelta(t, 0);
    Append(t, {0xF0, 0x0A,                 // SysEx, 10 bytes follow (F7 included)
               0x41,                       // Roland
               0x10,                       // device ID 17 (0x10), the factory setting
               0x42,                       // model ID: GS
               0x12,                       // command: data set 1
               0x40, 0x00, 0x7F,           // address 40 00 7F: GS reset
               0x00,                       // data: 0
               0x41,                       // checksum: 128 - (0x40 + 0x00 + 0x7F + 0x00) % 128
               0xF7});
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        AppendDelta(t, channel == 0 ? kResetPauseTicks : 0);
        Append(t, {std::uint8_t(0xB0 | channel), 0x00, 0x00});    // CC#0 bank select MSB = 0
        AppendDelta(t, 0);
        Append(t, {std::uint8_t(0xB0 | channel), 0x20, mapLsb});  // CC#32 bank select LSB = map
        AppendDelta(t, 0);
        Append(t, {std::uint8_t(0xC0 | channel), 0x00});          // program change: program 1 (0)
    }
    AppendEndOfTrack(t, 0);
    return MidiFile(t);
}

// Written beside the target and renamed over it, so a failed build never leaves half a file.
bool WriteFile(const std::string& path, const Bytes& bytes) {
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(part.c_str(), path.c_str()) == 0) return true;
    std::remove(part.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const struct {
        const char* name;
        Bytes bytes;
    } files[] = {
        {"GM.MID", GmSystemOn()},
        {"55MAP.MID", GsMap(1)},
        {"88MAP.MID", GsMap(2)},
        {"88Pro.MID", GsMap(3)},
    };
    for (const auto& file : files) {
        if (!WriteFile(folder + file.name, file.bytes)) {
            std::fprintf(stderr, "makeresetfiles: cannot write %s%s\n", folder.c_str(), file.name);
            return 1;
        }
    }
    return 0;
}
