// Event dumps of whole songs against golden files in tests/sequencer/golden/.
// Run with KYRO_UPDATE_GOLDEN=1 to rewrite the golden files from what the reader produces now
// (then read the difference before keeping it).

#include "sequencer/midifile.h"
#include "smfbuilder.h"
#include "songdump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kyro {
namespace {

using test::Bytes;
using test::TrackBuilder;

void ExpectGolden(const Bytes& file, const std::string& name) {
    const SongReadResult r = ReadMidiFile(file.data(), file.size());
    ASSERT_TRUE(r.ok) << r.error;
    const std::string dump = test::DumpSong(r.song);
    const std::string path = std::string(KYRO_GOLDEN_DIR) + "/" + name;
    if (const char* update = std::getenv("KYRO_UPDATE_GOLDEN"); update && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << dump;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path << " (run with KYRO_UPDATE_GOLDEN=1)";
    std::stringstream golden;
    golden << in.rdbuf();
    EXPECT_EQ(dump, golden.str()) << name;
}

// A conductor track with two tempo changes, a GS reset, and two parts using running status.
Bytes Format1Song() {
    TrackBuilder conductor, drums, bass;
    conductor.Tempo(0, 500000).Tempo(960, 375000).Tempo(960, 750000).EndOfTrack(960);
    drums.SysEx(0, 0xF0, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
        .Event(0, {0xB9, 0x07, 0x64})
        .Event(0, {0x99, 0x24, 0x64});
    for (int i = 0; i < 6; ++i) drums.Event(240, {0x24, 0x00}).Event(240, {0x24, 0x64});
    drums.Event(240, {0x24, 0x00}).EndOfTrack(0);
    bass.Event(0, {0xC0, 0x21}).Event(0, {0x90, 0x28, 0x50});
    for (int i = 0; i < 5; ++i) bass.Event(480, {0x28 + i, 0x00}).Event(0, {0x29 + i, 0x50});
    bass.Event(480, {0xE0, 0x00, 0x50}).Event(1, {0x80, 0x2E, 0x00}).EndOfTrack(10);
    return test::Smf(1, 480, {conductor, drums, bass});
}

// Three patterns played one after another, the second at its own tempo, in an RMID wrapper.
Bytes Format2RmidSong() {
    std::vector<TrackBuilder> patterns(3);
    for (int p = 0; p < 3; ++p) {
        TrackBuilder& t = patterns[p];
        if (p == 1) t.Tempo(0, 1000000);
        t.Event(0, {0x90, 0x3C + p, 0x40}).Event(96, {0x3C + p, 0x00}).SysEx(0, 0xF7, {0xF0, 0x43}).SysEx(0, 0xF7, {0x10, 0xF7});
        t.EndOfTrack(96);
    }
    return test::Rmid(test::Smf(2, 96, patterns));
}

TEST(MidiFileGolden, Format1SongWithTempoChanges) { ExpectGolden(Format1Song(), "format1_tempo.txt"); }

TEST(MidiFileGolden, Format2PatternsInRmid) { ExpectGolden(Format2RmidSong(), "format2_rmid.txt"); }

TEST(MidiFileGolden, SmpteSong) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(30, {0x80, 0x3C, 0x00}).Event(0, {0x90, 0x3E, 0x40});
    t.Tempo(0, 100000).Event(45, {0x80, 0x3E, 0x00}).EndOfTrack(7);  // the tempo changes nothing here
    ExpectGolden(test::Smf(0, test::SmpteDivision(30, 4), {t}), "smpte30.txt");
}

}  // namespace
}  // namespace kyro
