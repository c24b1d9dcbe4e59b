// Writes the seeds of the RCP fuzz target into the folder given: small songs of both
// generations that use most commands, so that the fuzzer starts from files the reader plays.
//   make_rcp_seeds fuzz/corpus-rcp

#include "rcpwriter.h"

#include <fstream>
#include <string>

namespace {

using namespace kyro::test;

RcpSong Showcase(RcpGeneration g) {
    RcpSong song;
    song.generation = g;
    song.title = "seed";
    song.timeBase = 96;
    song.padTracks = false;
    song.userExclusive[0] = {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x00, 0x7F, 0x00, 0x84};
    std::vector<RcpRecord> first{Command(0x90), Command(0xE7, 0, 80, 20), Command(0xDD, 0, 0x40, 0x01),
                                 Command(0xDE, 0, 0x30, 0x04), Command(0x98, 0, 1, 2)};
    for (const RcpRecord& r : Continuation(g, {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x80, 0x81, 0x84}))
        first.push_back(r);
    first.insert(first.end(), {Command(0xE2, 0, 5, 1), Command(0xEB, 0, 7, 100), Note(60, 48, 60, 100),
                               Note(60, 48, 20, 90), MeasureEnd(), Command(0xF9), Note(64, 0, 24, 80),
                               Note(67, 24, 24, 80), Command(0xF8, 3), MeasureEnd(), SameMeasure(g, 0, 0),
                               Command(0xEE, 0, 0, 0x50), Command(0xF6, 0, 'a', 'b'), Command(0xE6, 0, 2),
                               Note(72, 96, 90, 70)});
    song.tracks.push_back({.channel = 0, .keyShift = 2, .records = first});
    song.tracks.push_back({.channel = 9, .keyShift = 0x80, .stepShift = -3,
                           .records = {Command(0xF9), Note(36, 24, 1, 100), Note(42, 24, 1, 60), Command(0xF8, 0)}});
    song.tracks.push_back({.channel = 0xFF, .records = {Command(0xE7, 192, 32, 0)}});
    return song;
}

void Write(const std::string& folder, const char* name, const RcpSong& song) {
    const std::vector<std::uint8_t> bytes = WriteRcp(song);
    std::ofstream(folder + "/" + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string folder = argv[1];
    Write(folder, "showcase2.rcp", Showcase(RcpGeneration::V2));
    Write(folder, "showcase3.g36", Showcase(RcpGeneration::V3));
    RcpSong wide;
    wide.tracks.push_back({.channel = 0, .records = {Note(60, 48, 48, 100)}});
    wide.trackCountField = 36;
    Write(folder, "wide.r36", wide);  // 36 tracks, the 2.x signature
    RcpSong early = Showcase(RcpGeneration::V2);
    early.trackCountField = 0;  // early files: no count, ST+ unsigned
    early.tracks[1].stepShift = static_cast<std::int8_t>(0xA0);
    Write(folder, "early.rcp", early);
    return 0;
}
