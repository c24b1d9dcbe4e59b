// The reset files the build writes into the program folder: their bytes, and what the reader
// makes of them (the engine plays them with wait before songs).
#include "sequencer/midifile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kyro {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadProgramFile(const std::string& name) {
    std::ifstream in(std::string(KYRO_PROGRAM_DIR) + "/" + name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const Bytes kHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0};  // format 0, 1 track, 480 tpqn
const Bytes kTempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};                 // 500000 us per quarter

Bytes Track(const Bytes& events) {
    Bytes file = kHeader;
    const std::size_t size = kTempo.size() + events.size();
    file.insert(file.end(), {'M', 'T', 'r', 'k', 0, 0, std::uint8_t(size >> 8), std::uint8_t(size)});
    file.insert(file.end(), kTempo.begin(), kTempo.end());
    file.insert(file.end(), events.begin(), events.end());
    return file;
}

TEST(ResetFilesTest, GmSystemOnThenAPause) {
    EXPECT_EQ(ReadProgramFile("GM.MID"),
              Track({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM System On
                     0x60, 0xFF, 0x2F, 0x00}));                       // end of track 96 ticks later
}

TEST(ResetFilesTest, GsResetThenTheMapOnEveryChannel) {
    const std::pair<const char*, std::uint8_t> maps[] = {{"55MAP.MID", 1}, {"88MAP.MID", 2}, {"88Pro.MID", 3}};
    for (const auto& [name, lsb] : maps) {
        Bytes events = {0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
        for (std::uint8_t ch = 0; ch < 16; ++ch)
            events.insert(events.end(), {std::uint8_t(ch == 0 ? 0x60 : 0x00), std::uint8_t(0xB0 | ch), 0x00, 0x00,
                                         0x00, std::uint8_t(0xB0 | ch), 0x20, lsb,
                                         0x00, std::uint8_t(0xC0 | ch), 0x00});
        events.insert(events.end(), {0x00, 0xFF, 0x2F, 0x00});
        EXPECT_EQ(ReadProgramFile(name), Track(events)) << name;

        // As played: the reset at 0, the map 100 ms later, and the end there.
        const Bytes file = ReadProgramFile(name);
        const SongReadResult read = ReadMidiFile(file.data(), file.size());
        ASSERT_TRUE(read.ok) << name << ": " << read.error;
        ASSERT_EQ(read.song.events.size(), 1u + 16 * 3) << name;
        EXPECT_EQ(read.song.events[0].timeUs, 0);
        EXPECT_EQ(read.song.events[0].message.front(), 0xF0);
        EXPECT_EQ(read.song.events[0].message.back(), 0xF7);
        int lsbSeen = 0;
        for (std::size_t i = 1; i < read.song.events.size(); ++i) {
            EXPECT_EQ(read.song.events[i].timeUs, 100000) << name << " event " << i;
            const Bytes& m = read.song.events[i].message;
            if (m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 0x20 && m[2] == lsb) ++lsbSeen;
        }
        EXPECT_EQ(lsbSeen, 16) << name;
        EXPECT_EQ(read.song.lengthUs, 100000) << name;
    }
}

}  // namespace
}  // namespace kyro
