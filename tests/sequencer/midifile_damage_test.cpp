// Damaged and hostile MIDI files: each fails with a text or plays what it can; none crashes,
// hangs or takes unbounded memory.

#include "sequencer/midifile.h"
#include "sequencer/miditrack.h"
#include "smfbuilder.h"
#include "songdump.h"
#include "support/tempfolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include <sys/stat.h>

namespace kyro {
namespace {

using test::Append;
using test::Bytes;
using test::Chunk;
using test::ChunkClaiming;
using test::DumpEvents;
using test::Header;
using test::Smf;
using test::TrackBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

SongReadResult Read(const Bytes& bytes) { return ReadMidiFile(bytes.data(), bytes.size()); }

// A track of two notes and an end of track: 11 + 4 bytes.
TrackBuilder TwoNotes() {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(96, {0x80, 0x3C, 0x00}).Event(0, {0x90, 0x3E, 0x40}).EndOfTrack(96);
    return t;
}

Bytes WithTrack(const Bytes& file, const TrackBuilder& t) {
    Bytes out = file;
    Append(out, Chunk("MTrk", t.bytes()));
    return out;
}

struct DamagedFile {
    const char* name;
    Bytes bytes;
    const char* errorPart;  // a part of the expected text
};

std::vector<DamagedFile> DamagedFiles() {
    const Bytes good = Smf(0, 96, {TwoNotes()});
    std::vector<DamagedFile> files;
    files.push_back({"empty", {}, "MThd"});
    files.push_back({"text file", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}, "MThd"});
    files.push_back({"only the tag", Bytes{'M', 'T', 'h', 'd'}, "MThd"});
    files.push_back({"header length 5", WithTrack(ChunkClaiming("MThd", 5, {0, 0, 0, 1, 0, 96}), TwoNotes()), "ヘッダー"});
    files.push_back({"header cut short", ChunkClaiming("MThd", 6, {0, 0, 0, 1}), "ヘッダー"});
    files.push_back({"header length past the end", ChunkClaiming("MThd", 0xFFFFFFFF, {0, 0, 0, 1, 0, 96}), "ヘッダー"});
    files.push_back({"format 3", WithTrack(Header(3, 1, 96), TwoNotes()), "形式 3"});
    files.push_back({"no tracks declared", WithTrack(Header(1, 0, 96), TwoNotes()), "トラックがありません"});
    files.push_back({"zero ticks per quarter", WithTrack(Header(0, 1, 0), TwoNotes()), "時間単位"});
    files.push_back({"23 frames per second", WithTrack(Header(0, 1, test::SmpteDivision(23, 10)), TwoNotes()), "時間単位"});
    files.push_back({"zero ticks per frame", WithTrack(Header(0, 1, test::SmpteDivision(25, 0)), TwoNotes()), "時間単位"});
    files.push_back({"no MTrk chunk", Header(0, 1, 96), "MTrk"});
    files.push_back({"only other chunks", [] {
                         Bytes f = Header(0, 1, 96);
                         Append(f, Chunk("JUNK", Bytes(40, 0)));
                         return f;
                     }(), "MTrk"});
    files.push_back({"absurd track count", WithTrack(Header(1, 65535, 96), TwoNotes()), "トラック数"});

    TrackBuilder longVlq;
    longVlq.Raw({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 0x3C, 0x40});
    files.push_back({"delta time of five bytes", Smf(0, 96, {longVlq}), "4 バイト"});
    TrackBuilder longMetaLength;
    longMetaLength.Event(0, {0x90, 0x3C, 0x40}).Raw({0x00, 0xFF, 0x01, 0x81, 0x80, 0x80, 0x80, 0x00});
    files.push_back({"meta length of five bytes", Smf(0, 96, {longMetaLength}), "4 バイト"});
    TrackBuilder noStatus;
    noStatus.Event(0, {0x3C, 0x40});
    files.push_back({"running status without a status", Smf(0, 96, {noStatus}), "ランニングステータス"});
    TrackBuilder onlyMetaBefore;  // a meta event and a SysEx keep a running status, but there is none
    onlyMetaBefore.Meta(0, 0x01, {'a'}).SysEx(0, 0xF0, {0x41, 0xF7}).Event(0, {0x3E, 0x40});
    files.push_back({"running status with no channel status before", Smf(0, 96, {onlyMetaBefore}), "ランニングステータス"});
    TrackBuilder statusAsData;
    statusAsData.Event(0, {0x90, 0x3C, 0x90, 0x3C, 0x40});
    files.push_back({"status byte inside a channel message", Smf(0, 96, {statusAsData}), "(90)"});
    TrackBuilder statusInCommon;
    statusInCommon.Event(0, {0x90, 0x3C, 0x40}).Event(0, {0xF2, 0x00, 0x90, 0x3C, 0x40});
    files.push_back({"status byte inside a system common message", Smf(0, 96, {statusInCommon}), "(F2)"});

    // A track whose last event runs past its chunk while more of the file follows: damage in the
    // middle of the file, not at its end.
    Bytes cutInside = Header(1, 2, 96);
    TrackBuilder cutTrack;
    cutTrack.Event(0, {0x90, 0x3C, 0x40}).Raw({0x00, 0x90, 0x3C});
    Append(cutInside, Chunk("MTrk", cutTrack.bytes()));
    Append(cutInside, Chunk("MTrk", TwoNotes().bytes()));
    files.push_back({"event past the end of a chunk in the middle", cutInside, "チャンクの終わり"});
    TrackBuilder sysexPast;
    sysexPast.SysEx(0, 0xF0, {0x41}).Raw({0x00, 0xF0, 0x10, 0x41});  // claims 16 bytes, has 1
    Bytes sysexInside = Header(1, 2, 96);
    Append(sysexInside, Chunk("MTrk", sysexPast.bytes()));
    Append(sysexInside, Chunk("MTrk", TwoNotes().bytes()));
    files.push_back({"SysEx length past its chunk in the middle", sysexInside, "チャンクの終わり"});

    // Cut short before a single event was complete: nothing to play.
    files.push_back({"cut inside the first event", Bytes(good.begin(), good.begin() + 14 + 8 + 2), "途中で切れて"});
    files.push_back({"cut after the track header", Bytes(good.begin(), good.begin() + 14 + 8), "途中で切れて"});
    files.push_back({"cut inside the track header", Bytes(good.begin(), good.begin() + 14 + 5), "MTrk"});

    TrackBuilder tooLong;  // 2^28 ticks at 16.7 s a tick
    tooLong.Tempo(0, 0xFFFFFF).Event(0, {0x90, 0x3C, 0x40}).EndOfTrack(0x0FFFFFFF);
    files.push_back({"a song longer than a day", Smf(0, 1, {tooLong}), "演奏時間"});
    TrackBuilder dayEach;  // in format 2 the tracks add up
    dayEach.Event(0, {0x90, 0x3C, 0x40}).Tempo(0, 14'000'000).EndOfTrack(5000);  // 19.4 h
    files.push_back({"format 2 tracks adding up past a day", Smf(2, 1, {dayEach, dayEach}), "演奏時間"});
    TrackBuilder bigSysEx;
    bigSysEx.SysEx(0, 0xF0, Bytes(kMaxSysExBytes, 0x01));
    files.push_back({"SysEx above the size limit", Smf(0, 96, {bigSysEx}), "SysEx"});

    files.push_back({"RMID without a data chunk", [] {
                         Bytes f{'R', 'I', 'F', 'F', 16, 0, 0, 0, 'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 4, 0, 0, 0, 1, 2, 3, 4};
                         return f;
                     }(), "data"});
    files.push_back({"RMID whose first chunk claims the whole world", [] {
                         Bytes f{'R', 'I', 'F', 'F', 16, 0, 0, 0, 'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T', 0xFF, 0xFF, 0xFF, 0xFF, 1};
                         return f;
                     }(), "data"});
    files.push_back({"RMID holding a text file", test::Rmid(Bytes{'h', 'e', 'l', 'l', 'o', 0, 0, 0}), "MThd"});
    return files;
}

TEST(MidiFileDamage, EachDamagedFileFailsWithItsText) {
    for (const DamagedFile& f : DamagedFiles()) {
        SCOPED_TRACE(f.name);
        const SongReadResult r = Read(f.bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_THAT(r.error, HasSubstr(f.errorPart));
        EXPECT_TRUE(r.song.events.empty());
    }
}

// Tracks that break a rule of the format where the rest is still unambiguous: they play as other
// players play them. 96 ticks are half a second.
struct LenientTrack {
    const char* name;
    TrackBuilder track;
    std::vector<std::string> song;  // DumpSong, line by line
};

std::vector<LenientTrack> LenientTracks() {
    std::vector<LenientTrack> tracks;
    TrackBuilder afterMeta;
    afterMeta.Event(0, {0x90, 0x3C, 0x40}).Meta(0, 0x01, {'a'}).Event(96, {0x3E, 0x40});
    tracks.push_back({"running status after a meta event", afterMeta, {"0 90 3C 40", "500000 90 3E 40", "length 500000"}});
    TrackBuilder afterSysEx;
    afterSysEx.Event(0, {0x90, 0x3C, 0x40}).SysEx(0, 0xF0, {0x41, 0xF7}).SysEx(0, 0xF7, {0xF0, 0x43, 0xF7})
        .Event(96, {0x3E, 0x40});
    tracks.push_back({"running status after SysEx in both forms", afterSysEx,
                      {"0 F0 41 F7", "0 F0 43 F7", "0 90 3C 40", "500000 90 3E 40", "length 500000"}});
    // The last skipped byte's delta time still moves the end of the song.
    TrackBuilder realTime;
    realTime.Event(0, {0x90, 0x3C, 0x40}).Raw({0, 0xF8, 0, 0xF9, 0, 0xFA, 0, 0xFB, 0, 0xFC, 0, 0xFD, 96, 0xFE})
        .Event(0, {0x3C, 0x00}).Event(96, {0xF8});
    tracks.push_back({"real-time bytes between events", realTime, {"0 90 3C 40", "500000 90 3C 00", "length 1000000"}});
    TrackBuilder realTimeInside;
    realTimeInside.Event(0, {0x90, 0xF8, 0x3C, 0xFE, 0x40}).Event(96, {0x3C, 0xFA, 0x00});
    tracks.push_back({"real-time bytes inside a channel message", realTimeInside,
                      {"0 90 3C 40", "500000 90 3C 00", "length 500000"}});
    // Data bytes of 0x60 would read as a delta time of 96 if a length were wrong.
    TrackBuilder common;
    common.Event(0, {0x90, 0x3C, 0x40})
        .Raw({0, 0xF1, 0x60, 0, 0xF2, 0x60, 0x60, 0, 0xF3, 0x60, 0, 0xF4, 0, 0xF5, 96, 0xF6})
        .Event(0, {0x3C, 0x00});
    tracks.push_back({"system common messages with their data", common,
                      {"0 90 3C 40", "500000 90 3C 00", "length 500000"}});
    return tracks;
}

TEST(MidiFileLenient, EachTrackPlaysItsEvents) {
    for (const LenientTrack& t : LenientTracks()) {
        SCOPED_TRACE(t.name);
        const SongReadResult r = Read(Smf(0, 96, {t.track}));
        EXPECT_TRUE(r.ok) << r.error;
        std::vector<std::string> lines;
        std::istringstream dump(test::DumpSong(r.song));
        for (std::string line; std::getline(dump, line);) lines.push_back(line);
        EXPECT_EQ(lines, t.song);
    }
}

TEST(MidiFileDamage, TheTrackNumberIsNamed) {
    TrackBuilder bad;
    bad.Event(0, {0x3C, 0x40});
    const SongReadResult r = Read(Smf(1, 96, {TwoNotes(), bad}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "MIDI ファイルが壊れています (トラック 2: ランニングステータスの前にステータスバイトがありません)");
}

TEST(MidiFileDamageAtTheEnd, AFileCutInsideItsLastEventPlaysWhatCameBefore) {
    const Bytes good = Smf(0, 96, {TwoNotes()});
    // Header 14 + chunk header 8 + first note 4 + delta (1) and two bytes of the note-off.
    const Bytes cut(good.begin(), good.begin() + 14 + 8 + 4 + 3);
    const SongReadResult r = Read(cut);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40"));
    EXPECT_EQ(r.song.lengthUs, 0);
}

TEST(MidiFileDamageAtTheEnd, MissingTracksAndALengthPastTheEndStillPlay) {
    // Three tracks declared, the file ends after the second, and its chunk claims more than there is.
    Bytes file = Header(1, 3, 96);
    Append(file, Chunk("MTrk", TwoNotes().bytes()));
    TrackBuilder second;
    second.Event(0, {0x91, 0x40, 0x40}).Event(192, {0x81, 0x40, 0x00});
    Append(file, ChunkClaiming("MTrk", 1000, second.bytes()));
    const SongReadResult r = Read(file);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40", "0 91 40 40", "500000 80 3C 00", "500000 90 3E 40",
                                                "1000000 81 40 00"));
    EXPECT_EQ(r.song.lengthUs, 1000000);
}

TEST(MidiFileDamageAtTheEnd, AnRmidDataChunkCutShortPlaysWhatIsThere) {
    const Bytes whole = test::Rmid(Smf(0, 96, {TwoNotes()}));
    const Bytes cut(whole.begin(), whole.end() - 6);  // the end of track and part of the last note
    const SongReadResult r = Read(cut);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40", "500000 80 3C 00"));
}

TEST(MidiFileHostile, EveryTruncationEitherPlaysOrFailsWithAText) {
    TrackBuilder a, b;
    a.Tempo(0, 400000).SysEx(0, 0xF0, {0x41, 0x10, 0x42, 0x12, 0xF7}).Event(0, {0x90, 0x3C, 0x40})
        .Event(48, {0x3C, 0x00}).Meta(0, 0x01, Bytes(130, 't')).EndOfTrack(48);
    b.Event(0, {0xC1, 0x05}).Event(10, {0xE1, 0x00, 0x40}).Event(10, {0x91, 0x40, 0x40}).EndOfTrack(0);
    for (const Bytes& whole : {Smf(1, 96, {a, b}), test::Rmid(Smf(1, 96, {a, b}))}) {
        for (std::size_t n = 0; n <= whole.size(); ++n) {
            SCOPED_TRACE(n);
            const SongReadResult r = ReadMidiFile(whole.data(), n);
            if (r.ok) {
                EXPECT_TRUE(r.error.empty());
            } else {
                EXPECT_FALSE(r.error.empty());
                EXPECT_TRUE(r.song.events.empty());
            }
        }
    }
}

TEST(MidiFileHostile, RandomMutationsNeverCrashAndKeepTheSongConsistent) {
    TrackBuilder a;
    a.Tempo(0, 400000).SysEx(0, 0xF0, {0x41, 0x10, 0xF7}).Event(0, {0x90, 0x3C, 0x40}).Event(48, {0x3C, 0x00})
        .SysEx(3, 0xF7, {0x01, 0xF7}).Event(0, {0xB0, 0x07, 0x64}).EndOfTrack(48);
    const Bytes seed = Smf(1, 96, {a, a});
    std::mt19937 random(20240611);  // fixed seed: the same cases every run
    for (int i = 0; i < 20000; ++i) {
        Bytes mutated = seed;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) mutated[random() % mutated.size()] = static_cast<std::uint8_t>(random());
        const SongReadResult r = Read(mutated);
        if (!r.ok) {
            ASSERT_FALSE(r.error.empty()) << i;
            continue;
        }
        for (std::size_t e = 0; e < r.song.events.size(); ++e) {
            ASSERT_FALSE(r.song.events[e].message.empty()) << i;
            ASSERT_GE(r.song.events[e].timeUs, 0) << i;
            if (e > 0) {
                ASSERT_LE(r.song.events[e - 1].timeUs, r.song.events[e].timeUs) << i;
            }
        }
        if (!r.song.events.empty()) {
            ASSERT_GE(r.song.lengthUs, r.song.events.back().timeUs) << i;
        }
    }
}

TEST(MidiFileHostile, ATrackStopsAtTheEventLimit) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(0, {0x3E, 0x40}).Tempo(0, 500000).Event(0, {0x90, 0x40, 0x40});
    const Bytes& bytes = t.bytes();
    const midi::TrackReadResult within = midi::ReadTrack(bytes.data(), bytes.size(), 4);
    EXPECT_EQ(within.outcome, midi::TrackOutcome::Complete);
    const midi::TrackReadResult over = midi::ReadTrack(bytes.data(), bytes.size(), 3);
    EXPECT_EQ(over.outcome, midi::TrackOutcome::TooLarge);
    EXPECT_EQ(over.error, "MIDI ファイルのイベントが多すぎます (400 万を超えています)");
}

TEST(MidiFileHostile, HugeLengthsAtTheEndAreCutsNotAllocations) {
    // A SysEx claiming 256 MiB at the end of the file: read as a cut, nothing allocated for it.
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Raw({0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01});
    const SongReadResult sysex = Read(Smf(0, 96, {t}));
    ASSERT_TRUE(sysex.ok) << sysex.error;
    EXPECT_THAT(DumpEvents(sysex.song), ElementsAre("0 90 3C 40"));
}

TEST(MidiFileOnDisk, ReadsAFileAndRefusesWhatIsNoMidiFileToRead) {
    test::TempFolder folder;
    const Bytes song = Smf(0, 96, {TwoNotes()});
    folder.Write("song.mid", std::string(song.begin(), song.end()));
    const SongReadResult r = ReadMidiFileAt(folder.Native("song.mid"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.song.events.size(), 3u);

    const SongReadResult missing = ReadMidiFileAt(folder.Native("missing.mid"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "ファイルを開けません");

    folder.MakeFolder("folder.mid");
    const SongReadResult folderResult = ReadMidiFileAt(folder.Native("folder.mid"));
    EXPECT_FALSE(folderResult.ok);
    EXPECT_EQ(folderResult.error, "ファイルを開けません");

    // A FIFO must be refused, not waited on for a writer that never comes.
    ASSERT_EQ(mkfifo(folder.Native("fifo.mid").c_str(), 0600), 0);
    const SongReadResult fifo = ReadMidiFileAt(folder.Native("fifo.mid"));
    EXPECT_FALSE(fifo.ok);
    EXPECT_EQ(fifo.error, "ファイルを開けません");

    // A sparse file just above the limit: refused by its size before anything is read.
    folder.Write("huge.mid", std::string(song.begin(), song.end()));
    std::filesystem::resize_file(folder.Native("huge.mid"), kMaxMidiFileBytes + 1);
    const SongReadResult huge = ReadMidiFileAt(folder.Native("huge.mid"));
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.error, "ファイルが大きすぎます (16 MiB を超えています)");
}

}  // namespace
}  // namespace kyro
