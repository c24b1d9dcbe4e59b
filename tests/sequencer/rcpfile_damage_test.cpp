// Damaged and hostile RCP files: each fails with a text or plays what it can, in bounded time and
// memory; none crashes or hangs.

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"
#include "sequencer/rcpplay.h"
#include "sequencer/songfile.h"

#include "rcpwriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>

namespace kyro {
namespace {

using test::Command;
using test::MeasureEnd;
using test::Note;
using test::RcpGeneration;
using test::RcpRecord;
using test::RcpSong;
using test::RcpTrack;
using test::SameMeasure;
using ::testing::HasSubstr;

using Bytes = std::vector<std::uint8_t>;

SongReadResult Read(const Bytes& bytes) { return ReadRcpFile(bytes.data(), bytes.size()); }

RcpSong Tune(RcpGeneration g = RcpGeneration::V2) {
    RcpSong song;
    song.generation = g;
    song.tracks.push_back({.channel = 0, .records = {Command(0xEC, 0, 5), Note(60, 48, 40, 100), Note(62, 48, 40, 100),
                                                     MeasureEnd(), Note(64, 96, 90, 100)}});
    song.tracks.push_back({.channel = 1, .records = {Note(48, 192, 190, 80)}});
    return song;
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST(RcpDamage, FilesThatCannotBePlayedSaySo) {
    const Bytes good = test::WriteRcp(Tune());
    const Bytes good3 = test::WriteRcp(Tune(RcpGeneration::V3));
    struct Case {
        const char* name;
        Bytes bytes;
        const char* errorPart;
    };
    const Case cases[] = {
        {"empty", {}, "RCP ファイルではありません"},
        {"a MIDI file", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "RCP ファイルではありません"},
        {"the signature only", Cut(good, 32), "トラックがありません"},
        {"the 2.x header without a track", Cut(good, 0x586 + 10), "トラックがありません"},
        {"the 3.x header without a track", Cut(good3, 0xC98 + 45), "トラックがありません"},
        {"cut inside the first record", Cut(good, 0x586 + 44 + 2), "途中で切れていて"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SongReadResult r = Read(c.bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_THAT(r.error, HasSubstr(c.errorPart));
    }
}

// Told by the first bytes; a file that starts as neither kind is refused in its name's words.
TEST(RcpDamage, AFileOfNeitherKindIsRefusedAsWhatItsNameSays) {
    const std::string midi("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xFF\x2F\0", 26);
    const std::string junk = "not a song at all";
    struct Case {
        const char* fileName;
        std::string bytes;
        const char* error;  // empty: read
    };
    const Case cases[] = {
        {"SONG.RCP", junk, kNotRcpFileText},
        {"/songs.d/Song.g36", junk, kNotRcpFileText},
        {"SONG.MID", junk, "MIDI ファイルではありません (MThd がありません)"},
        {"/songs.rcp/SONG", junk, "MIDI ファイルではありません (MThd がありません)"},
        {"SONG.RCP", midi, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fileName) + " holding " + (c.bytes == midi ? "a MIDI file" : c.bytes));
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        const ScoreReadResult r = ReadSongScore(data, c.bytes.size(), c.fileName);
        EXPECT_EQ(r.ok, *c.error == '\0');
        EXPECT_EQ(r.error, c.error);
    }
}

TEST(RcpDamage, DamageAtTheEndPlaysWhatWasRead) {
    const Bytes good = test::WriteRcp(Tune());
    const SongReadResult cut = Read(Cut(good, 0x586 + 44 + 4 * 3 + 1));  // inside the first track
    ASSERT_TRUE(cut.ok) << cut.error;
    ASSERT_EQ(cut.song.events.size(), 5u);  // the program and two notes, each to the end of its gate
}

// A program change, the tempo command given, then 50 loops of 254 notes (12,700 beats).
std::vector<RcpRecord> LoopBomb(std::uint16_t step, std::uint16_t gate, std::uint16_t tempoFactor = 0) {
    std::vector<RcpRecord> records{Command(0xEC, 0, 5)};
    if (tempoFactor) records.push_back(Command(0xE7, 0, tempoFactor));
    for (int i = 0; i < 50; ++i) records.insert(records.end(), {Command(0xF9), Note(60, step, gate, 100), Command(0xF8, 254)});
    return records;
}

TEST(RcpDamage, LoopBombsStopAtTheTimeCapOrTheBeatCap) {
    struct Case {
        const char* name;
        std::uint16_t tempo;
        std::vector<RcpTrack> tracks;
        std::ptrdiff_t noteOns;
    };
    const Case cases[] = {
        // 10 minutes are 4800 ticks; the note at 4788 is cut off there.
        {"10 BPM in the header, notes of 3/4 beat", 10, {{.records = LoopBomb(36, 30)}}, 134},
        {"a tempo change in the track: 15 BPM", 120, {{.records = LoopBomb(48, 40, 8)}}, 150},
        {"a silent conductor track's tempo change: 15 BPM", 120,
         {{.channel = 0xFF, .records = {Command(0xE7, 0, 8)}}, {.records = LoopBomb(48, 40)}}, 150},
        {"at 996 BPM the 8000 beats come first", 250, {{.records = LoopBomb(48, 40, 255)}}, 8001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SongReadResult r = Read(test::WriteRcp({.tempo = c.tempo, .tracks = c.tracks}));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_LE(r.song.lengthUs, rcp::kMaxTrackUs);
        ASSERT_FALSE(r.song.events.empty());
        EXPECT_EQ(r.song.events.front().message, (Bytes{0xC0, 5}));  // what came before the cap is kept
        const auto count = [&r](std::uint8_t status) {
            return std::count_if(r.song.events.begin(), r.song.events.end(),
                                 [status](const SongEvent& e) { return e.message[0] == status; });
        };
        EXPECT_EQ(count(0x90), c.noteOns);
        EXPECT_EQ(count(0x80), c.noteOns);  // no note left sounding
    }
}

// Hostile files: loops and replays without end, sizes that lie, floods of events and tempo
// changes, random bytes. Each must end quickly, with a text or a bounded song.
std::vector<std::pair<std::string, Bytes>> HostileFiles() {
    std::vector<std::pair<std::string, Bytes>> files;
    auto add = [&files](std::string name, const RcpSong& song) { files.emplace_back(std::move(name), test::WriteRcp(song)); };
    auto oneTrack = [](RcpGeneration g, std::vector<RcpRecord> records) {
        RcpSong song;
        song.generation = g;
        song.tracks.push_back({.channel = 0, .records = std::move(records)});
        return song;
    };
    for (RcpGeneration g : {RcpGeneration::V2, RcpGeneration::V3}) {
        const std::string v = g == RcpGeneration::V2 ? " 2.x" : " 3.x";
        std::vector<RcpRecord> nest;
        for (int i = 0; i < 40; ++i) nest.push_back(Command(0xF9));
        nest.push_back(Note(60, 1, 1, 1));
        for (int i = 0; i < 40; ++i) nest.push_back(Command(0xF8, 254));
        add("40 nested loops of 254 passes" + v, oneTrack(g, nest));
        std::vector<RcpRecord> zeroStep(nest);
        zeroStep[40] = Command(0xEB, 0, 7, 100);  // no time passes at all
        add("nested loops that take no time" + v, oneTrack(g, zeroStep));
        std::vector<RcpRecord> forever;
        for (int i = 0; i < 16; ++i) forever.push_back(Command(0xF9));
        forever.push_back(Note(60, 200, 1, 1));
        for (int i = 0; i < 16; ++i) forever.push_back(Command(0xF8, 0));
        add("16 nested loops forever" + v, oneTrack(g, forever));
        add("a same-measure reference to itself" + v, oneTrack(g, {Note(60, 1, 1, 1), MeasureEnd(), SameMeasure(g, 1, 2)}));
        add("a three-step same-measure cycle" + v,
            oneTrack(g, {SameMeasure(g, 0, 1), SameMeasure(g, 0, 2), SameMeasure(g, 0, 0), Note(60, 1, 1, 1)}));
        std::vector<RcpRecord> chain;
        for (std::uint32_t i = 0; i < 500; ++i) chain.push_back(SameMeasure(g, 0, i + 1));
        chain.push_back(Note(60, 1, 1, 1));
        add("a chain of 500 same-measure references" + v, oneTrack(g, chain));
        std::vector<RcpRecord> replayLoop{Command(0xF9), Note(60, 1, 1, 1), MeasureEnd(), SameMeasure(g, 0, 0),
                                          Command(0xF8, 0)};
        add("a loop forever around a replay of its own start" + v, oneTrack(g, replayLoop));
        std::vector<RcpRecord> chords;
        for (int step = 0; step < 2000; ++step)
            for (std::uint8_t key = 0; key < 128; ++key) chords.push_back(Note(key, key == 127 ? 1 : 0, 255, 100));
        add("chords of every key, 2000 times" + v, oneTrack(g, chords));
        std::vector<RcpRecord> glides(100000, Command(0xE7, 1, 200, 1));
        add("100000 gliding tempo changes" + v, oneTrack(g, glides));
        std::vector<RcpRecord> slow{Command(0xE7, 0, 1)};
        slow.insert(slow.end(), 5000, Note(60, 255, 255, 100));
        add("the slowest tempo and long notes" + v, oneTrack(g, slow));
        std::vector<RcpRecord> flood{Command(0x98)};
        const std::vector<RcpRecord> more = test::Continuation(g, Bytes(20000, 0x41));
        flood.insert(flood.end(), more.begin(), more.end());
        add("a track exclusive of 20000 bytes" + v, oneTrack(g, flood));
        RcpSong zeroBase = oneTrack(g, {Command(0xF9), Note(60, 255, 1, 1), Command(0xF8, 254)});
        zeroBase.timeBase = 0;
        add("time base 0 under a long loop" + v, zeroBase);
        RcpSong lying = oneTrack(g, {Note(60, 1, 1, 1)});
        lying.tracks[0].sizeField = 0xFFFFFFFF;
        lying.tracks[0].endOfTrack = false;
        add("a track size past the file, no end of track" + v, lying);
        RcpSong zeroSize = oneTrack(g, {Note(60, 1, 1, 1)});
        zeroSize.tracks[0].sizeField = 0;
        add("a track size of 0" + v, zeroSize);
        RcpSong manyTracks;
        manyTracks.generation = g;
        manyTracks.trackCountField = 255;
        for (int i = 0; i < 60; ++i) manyTracks.tracks.push_back({.channel = 0, .records = forever});
        manyTracks.padTracks = false;
        add("60 tracks looping forever" + v, manyTracks);
        std::vector<RcpRecord> junk;
        std::mt19937 random(g == RcpGeneration::V2 ? 7 : 8);
        for (int i = 0; i < 20000; ++i)
            junk.push_back({static_cast<std::uint8_t>(random()), static_cast<std::uint16_t>(random()),
                            static_cast<std::uint16_t>(random()), static_cast<std::uint8_t>(random())});
        add("20000 random records" + v, oneTrack(g, junk));
    }
    // Random bytes after a signature, and a good file cut at many places.
    const Bytes good = test::WriteRcp(Tune());
    std::mt19937 random(42);
    for (int i = 0; i < 8; ++i) {
        Bytes bytes(good.begin(), good.begin() + 32);
        bytes.resize(32 + random() % 20000);
        for (std::size_t k = 32; k < bytes.size(); ++k) bytes[k] = static_cast<std::uint8_t>(random());
        files.emplace_back("random bytes " + std::to_string(i), bytes);
    }
    for (std::size_t size = 0x586; size < good.size(); size += 97) files.emplace_back("cut at " + std::to_string(size), Cut(good, size));
    return files;
}

TEST(RcpDamage, HostileFilesEndQuicklyWithATextOrABoundedSong) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
    const auto limit = std::chrono::seconds(10);  // the sanitizers make every allocation several times slower
#else
    const auto limit = std::chrono::seconds(1);
#endif
    const auto files = HostileFiles();
    ASSERT_GE(files.size(), 30u);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const auto start = std::chrono::steady_clock::now();
        const SongReadResult r = Read(bytes);
        EXPECT_LT(std::chrono::steady_clock::now() - start, limit);
        if (!r.ok) {
            EXPECT_FALSE(r.error.empty());
            continue;
        }
        EXPECT_LE(r.song.events.size(), rcp::kMaxEvents);
        EXPECT_LE(r.song.lengthUs, kMaxSongUs);
        EXPECT_TRUE(std::is_sorted(r.song.events.begin(), r.song.events.end(),
                                   [](const SongEvent& a, const SongEvent& b) { return a.timeUs < b.timeUs; }));
    }
}

}  // namespace
}  // namespace kyro
