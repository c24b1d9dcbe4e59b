// rcp_conversion_bench: `kyrotune --to-midi IN OUT` against `timidity -c CFG -Om -o OUT IN`, both
// turning the same RCP files into MIDI files, both run as whole processes.
//
// 200 songs, written at start into a fresh folder under /tmp (removed at the end) with the tests'
// RCP writer: both generations in turn, 36 tracks, about three minutes each, with programs and
// controllers in a lead-in measure, notes and chords in loops, expression changes every measure
// and tempo changes every few measures. CFG names the GM sound font only. A round converts every
// song with one side and then with the other; the side that goes first alternates. A first round
// of each side warms the caches and is not counted. The figure is the median of the rounds'
// ratios (ours / timidity), with their spread; the last line gives it.
//
// Usage: rcp_conversion_bench [kyrotune executable]
#include "sequencer/midifile.h"

#include "interleaved.h"
#include "processes.h"
#include "rcpwriter.h"
#include "scratchfolder.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>


namespace {

using kyro::test::Command;
using kyro::test::Note;
using kyro::test::RcpGeneration;
using kyro::test::RcpRecord;
using Clock = std::chrono::steady_clock;

constexpr int kSongs = 200;
constexpr int kTracks = 36;
constexpr int kSections = 12;          // each a loop of kLoopBars bars played kLoopPasses times
constexpr int kLoopBars = 4;
constexpr int kLoopPasses = 2;
constexpr int kBarsBetweenTempos = 4;
constexpr int kRounds = 5;
constexpr char kTimidity[] = "/usr/bin/timidity";
constexpr char kSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// A small deterministic sequence, so that every run writes the same songs.
struct Sequence {
    std::uint32_t state;
    int Next(int range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<std::uint32_t>(range));
    }
};

// One bar of 4/4 at 48 ticks a quarter note: bass in quarters, chords in halves, melody in eighths.
void AppendBar(std::vector<RcpRecord>& records, int track, int bar, Sequence& random) {
    const int role = track % 3;
    const std::uint8_t root = static_cast<std::uint8_t>(36 + 12 * role + random.Next(12));
    records.push_back(Command(0xEB, 0, 11, static_cast<std::uint8_t>(80 + (bar * 7 + track) % 40)));  // expression
    if (role == 0) {
        for (int beat = 0; beat < 4; ++beat) records.push_back(Note(root + (beat % 2) * 7, 48, 40, 100));
    } else if (role == 1) {
        for (int half = 0; half < 2; ++half) {
            records.push_back(Note(root, 0, 90, 80));
            records.push_back(Note(root + 4, 0, 90, 80));
            records.push_back(Note(root + 7, 96, 90, 80));
        }
    } else {
        for (int eighth = 0; eighth < 8; ++eighth)
            records.push_back(Note(static_cast<std::uint8_t>(root + random.Next(12)), 24, 20,
                                   static_cast<std::uint8_t>(70 + random.Next(50))));
    }
    records.push_back(kyro::test::MeasureEnd());
}

kyro::test::RcpSong MakeSong(int index) {
    kyro::test::RcpSong song;
    song.generation = index % 2 ? RcpGeneration::V3 : RcpGeneration::V2;
    song.title = "BENCH SONG " + std::to_string(index);
    song.timeBase = 48;
    song.tempo = static_cast<std::uint16_t>(100 + index % 40);
    Sequence random{static_cast<std::uint32_t>(index * 7919 + 1)};
    for (int t = 0; t < kTracks; ++t) {
        kyro::test::RcpTrack track;
        track.channel = static_cast<std::uint8_t>(t < 32 ? t : t % 16);  // 0x10-0x1F: port B
        std::vector<RcpRecord>& r = track.records;
        // The lead-in measure: program, volume and pan, then a rest to the bar line.
        r = {Command(0xEC, 0, static_cast<std::uint16_t>((t * 5 + index) % 128)), Command(0xEB, 0, 7, 100),
             Command(0xEB, 0, 10, static_cast<std::uint8_t>(t * 3 % 128)), Note(60, 192, 0, 0),
             kyro::test::MeasureEnd()};
        for (int section = 0; section < kSections; ++section) {
            r.push_back(Command(0xF9));
            for (int bar = 0; bar < kLoopBars; ++bar) {
                if (t == 0 && bar % kBarsBetweenTempos == 0)
                    r.push_back(Command(0xE7, 0, static_cast<std::uint16_t>(56 + random.Next(24))));
                AppendBar(r, t, section * kLoopBars + bar, random);
            }
            r.push_back(Command(0xF8, kLoopPasses));
        }
        song.tracks.push_back(std::move(track));
    }
    return song;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The events of a written MIDI file, or -1 when it does not read.
long EventsIn(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const kyro::SongReadResult read = kyro::ReadMidiFile(bytes.data(), bytes.size());
    return read.ok ? static_cast<long>(read.song.events.size()) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kyrotune = argc > 1 ? argv[1] : KYRO_EXECUTABLE;
    if (::access(kTimidity, X_OK) != 0 || ::access(kSoundFont, R_OK) != 0) {
        std::printf("skipped: needs %s and %s (Debian packages timidity and timgm6mb-soundfont)\n", kTimidity,
                    kSoundFont);
        return 0;
    }
    const kyro::bench::ScratchFolder scratch("kyro-rcp-bench");
    const std::string cfg = scratch.native + "/timidity.cfg";
    const std::string cfgLine = std::string("soundfont ") + kSoundFont + "\n";
    if (scratch.native.empty() || !WriteFile(cfg, std::vector<std::uint8_t>(cfgLine.begin(), cfgLine.end()))) {
        std::fprintf(stderr, "cannot write under /tmp\n");
        return 1;
    }
    std::vector<std::string> songs;
    std::size_t songBytes = 0;
    for (int i = 0; i < kSongs; ++i) {
        const std::vector<std::uint8_t> bytes = kyro::test::WriteRcp(MakeSong(i));
        songs.push_back(scratch.native + "/song" + std::to_string(i) + ".rcp");
        songBytes += bytes.size();
        if (!WriteFile(songs.back(), bytes)) {
            std::fprintf(stderr, "cannot write %s\n", songs.back().c_str());
            return 1;
        }
    }
    const std::string oursOut = scratch.native + "/ours.mid";
    const std::string theirsOut = scratch.native + "/timidity.mid";

    int oursFailed = 0, theirsFailed = 0;
    auto ours = [&] {
        return kyro::bench::Timed([&] {
            for (const std::string& song : songs) oursFailed += !kyro::bench::RunQuietly({kyrotune, "--to-midi", song, oursOut});
        });
    };
    auto theirs = [&] {
        return kyro::bench::Timed([&] {
            for (const std::string& song : songs)
                theirsFailed += !kyro::bench::RunQuietly({kTimidity, "-c", cfg, "-Om", "-o", theirsOut, song});
        });
    };
    ours();
    theirs();
    if (oursFailed || theirsFailed) {
        std::fprintf(stderr, "conversions failed: kyrotune %d, timidity %d of %d\n", oursFailed, theirsFailed, kSongs);
        return 1;
    }

    const kyro::bench::Comparison c = kyro::bench::CompareFigures(kRounds, ours, theirs);
    std::printf("%d RCP songs (%zu KB), 36 tracks each; the last one gives %ld events\n", kSongs, songBytes / 1024,
                EventsIn(oursOut));
    std::printf("  kyrotune --to-midi   median %7.1f ms a song\n", 1000 * c.medianA / kSongs);
    std::printf("  timidity -Om         median %7.1f ms a song\n", 1000 * c.medianB / kSongs);
    std::printf("ratio spread %.2f..%.2f over %d rounds\n", c.lowest, c.highest, kRounds);
    std::printf("rcp conversion ratio %.2f\n", c.ratio);
    return oursFailed || theirsFailed ? 1 : 0;
}
