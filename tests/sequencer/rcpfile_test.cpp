// The RCP reader: what each record gives, transposition, timing, loops and same-measure replays,
// both generations, and the traps real files hold.

#include "sequencer/rcpfile.h"
#include "sequencer/songfile.h"

#include "rcpwriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>

namespace kyro {
namespace {

using test::Command;
using test::Continuation;
using test::MeasureEnd;
using test::Note;
using test::RcpGeneration;
using test::RcpRecord;
using test::RcpSong;
using test::RcpTrack;
using test::SameMeasure;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

constexpr RcpGeneration V2 = RcpGeneration::V2;
constexpr RcpGeneration V3 = RcpGeneration::V3;

// "<tick> <hex bytes>" per event.
std::vector<std::string> Dump(const SongScore& score) {
    std::vector<std::string> lines;
    for (const ScoreEvent& e : score.events) {
        std::string line = std::to_string(e.tick);
        for (std::uint8_t b : e.message) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            line += hex;
        }
        lines.push_back(line);
    }
    return lines;
}

ScoreReadResult Read(const std::vector<std::uint8_t>& bytes) { return ReadRcpScore(bytes.data(), bytes.size()); }

RcpSong OneTrack(RcpGeneration g, std::vector<RcpRecord> records, std::uint8_t channel = 0) {
    RcpSong song;
    song.generation = g;
    song.tracks.push_back({.channel = channel, .records = std::move(records)});
    return song;
}

std::vector<std::string> DumpOf(const RcpSong& song) {
    const ScoreReadResult r = Read(test::WriteRcp(song));
    EXPECT_TRUE(r.ok) << r.error;
    return Dump(r.score);
}

struct RecordCase {
    const char* name;
    std::vector<RcpRecord> records;
    std::vector<std::string> events;
};

// Records of one track on channel 1 (time base 48) and exactly what they must give; every row is
// read in both generations.
std::vector<RecordCase> RecordCases(RcpGeneration g) {
    std::vector<RecordCase> cases = {
        {"note: on at the cursor, off after the gate", {Note(60, 48, 40, 100), Note(62, 48, 48, 90)},
         {"0 90 3C 64", "40 80 3C 40", "48 90 3E 5A", "96 80 3E 40"}},
        {"gate or velocity 0 is a rest that still takes its step",
         {Note(60, 48, 0, 100), Note(61, 48, 30, 0), Note(62, 10, 10, 100)}, {"96 90 3E 64", "106 80 3E 40"}},
        {"a chord: notes of step 0, the last with the step",
         {Note(60, 0, 48, 100), Note(64, 0, 48, 100), Note(67, 48, 48, 100)},
         {"0 90 3C 64", "0 90 40 64", "0 90 43 64", "48 80 3C 40", "48 80 40 40", "48 80 43 40"}},
        {"the same key still sounding is tied to the new gate", {Note(60, 24, 30, 100), Note(60, 24, 10, 80)},
         {"0 90 3C 64", "34 80 3C 40"}},
        {"a gate ending where the same key starts: off, then on", {Note(60, 24, 24, 100), Note(60, 24, 24, 80)},
         {"0 90 3C 64", "24 80 3C 40", "24 90 3C 50", "48 80 3C 40"}},
        {"legato: the next note starts before the gate ends", {Note(60, 24, 36, 100), Note(62, 24, 24, 100)},
         {"0 90 3C 64", "24 90 3E 64", "36 80 3C 40", "48 80 3E 40"}},
        {"program, controller, pressure, pitch bend",
         {Command(0xEC, 1, 5), Command(0xEB, 1, 7, 100), Command(0xEA, 1, 30), Command(0xED, 1, 60, 20),
          Command(0xEE, 1, 0x10, 0x48)},
         {"0 C0 05", "1 B0 07 64", "2 D0 1E", "3 A0 3C 14", "4 E0 10 48"}},
        {"bank MSB or LSB with a program", {Command(0xE2, 0, 16, 8), Command(0xE1, 0, 3, 2)},
         {"0 B0 00 08", "0 C0 10", "0 B0 20 02", "0 C0 03"}},
        {"programs 80-BF are an old synthesizer's user patches: not sent", {Command(0xEC, 0, 0x85)}, {}},
        {"a channel change, with the held note released where it started",
         {Note(60, 12, 24, 100), Command(0xE6, 0, 3), Note(62, 12, 12, 100), Command(0xE6, 0, 17 + 4),
          Note(64, 0, 6, 100)},
         {"0 90 3C 64", "12 92 3E 64", "24 80 3C 40", "24 82 3E 40", "24 94 40 64", "30 84 40 40"}},
        {"channel off: nothing sounds", {Command(0xE6, 0, 0), Note(60, 12, 12, 100), Command(0xEB, 0, 7, 1)}, {}},
        {"a user exclusive with its checksum", {Command(0x90, 5, 0, 0), Note(60, 1, 1, 1)},
         {"0 F0 41 10 42 12 40 00 7F 00 41 F7", "5 90 3C 01", "6 80 3C 40"}},
        {"a track exclusive from its continuation records, with p1, p2 and the channel",
         [g] {
             // 41 10 42 12 | 83 40 p1 p2 ch 84 | F7: placeholders, and the first F7 ends the message.
             std::vector<RcpRecord> r{Command(0xE6, 0, 3), Command(0x98, 7, 0x11, 0x22)};
             for (const RcpRecord& c : Continuation(g, {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x80, 0x81, 0x82, 0x84, 0xF7, 0x55}))
                 r.push_back(c);
             r.push_back(Note(60, 1, 1, 1));
             return r;
         }(),
         {"0 F0 41 10 42 12 40 11 22 02 0B F7", "7 92 3C 01", "8 82 3C 40"}},
        {"Roland address, device and parameter with checksum",
         {Command(0xDE, 1, 0x7F, 0x00), Command(0xDD, 1, 0x40, 0x01), Command(0xDF, 1, 0x11, 0x42),
          Command(0xDE, 1, 0x30, 0x04)},
         {"0 F0 41 10 16 12 00 00 7F 00 01 F7", "3 F0 41 11 42 12 40 01 30 04 0B F7"}},
        {"Yamaha device, address and parameter; XG parameter",
         {Command(0xD1, 0, 0x10, 0x4C), Command(0xD0, 0, 0x08, 0x00), Command(0xD2, 0, 0x07, 0x40),
          Command(0xD3, 0, 0x01, 0x02)},
         {"0 F0 43 10 4C 08 00 07 40 F7", "0 F0 43 10 4C 08 00 01 02 F7"}},
        {"FM and rack module parameters on the channel", {Command(0xC1, 0, 0x05, 0x06), Command(0xDC, 0, 0x07, 0x08)},
         {"0 F0 43 10 00 05 06 F7", "0 F0 41 32 00 07 08 F7"}},
        {"key signature, comment, stray continuation, key scan: nothing sent",
         {Command(0xF7, 99, 1, 2), Command(0xF5, 99, 3), Command(0xF6, 99, 'a', 'b'), Command(0xF7, 99, 'c', 'd'),
          Command(0xE5, 4, 1), Note(60, 1, 1, 1)},
         {"4 90 3C 01", "5 80 3C 40"}},
        {"bytes of 80 and more in a channel message: the message is skipped",
         {Command(0xEB, 0, 0x80, 1), Command(0xEB, 0, 1, 0x90), Command(0xEB, 0, 1, 2)}, {"0 B0 01 02"}},
        {"unknown commands skip one record and take no time", {Command(0xE8, 48), Command(0x85, 48), Note(60, 1, 1, 1)},
         {"0 90 3C 01", "1 80 3C 40"}},
        {"end of track: nothing after it; a note on runs to its gate", {Note(60, 1, 96, 1), Command(0xFE), Note(62, 1, 1, 1)},
         {"0 90 3C 01", "96 80 3C 40"}},
    };
    return cases;
}

TEST(RcpRecords, EachRecordGivesItsEvents) {
    for (RcpGeneration g : {V2, V3}) {
        for (const RecordCase& c : RecordCases(g)) {
            SCOPED_TRACE(std::string(c.name) + (g == V2 ? " (2.x)" : " (3.x)"));
            RcpSong song = OneTrack(g, c.records);
            song.userExclusive[0] = {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x00, 0x7F, 0x00, 0x84};
            EXPECT_THAT(DumpOf(song), ElementsAreArray(c.events));
        }
    }
}

TEST(RcpRecords, ExclusivePlaceholdersAndChecksum) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> body;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"a sum that is a multiple of 128 gives checksum 0, never 80", {0x41, 0x83, 0x40, 0x40, 0x84}, {"0 F0 41 40 40 00 F7"}},
        {"an undefined placeholder drops the message", {0x41, 0x85, 0x01}, {}},
        {"p1 and p2 are sent as 7-bit values", {0x43, 0x80, 0x81}, {"0 F0 43 7F 01 F7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RcpSong song = OneTrack(V2, {Command(0x90, 0, 0xFF, 0x81)});
        song.userExclusive[0] = c.body;
        EXPECT_THAT(DumpOf(song), ElementsAreArray(c.events));
    }
}

TEST(RcpRecords, TranspositionByKeyShiftAndPlayBias) {
    struct Case {
        std::uint8_t keyShift;
        std::int8_t playBias;
        std::uint8_t key;
        int sounding;  // -1: nothing sounds
    };
    const Case cases[] = {
        {0x05, 0, 60, 65}, {0x7E, 0, 60, 58},  {0x40, 0, 100, 36},  // 0x40 is -64
        {0x02, 3, 60, 65}, {0x80, 12, 36, 36},                      // rhythm: neither applies
        {0x3F, 0, 100, -1}, {0x00, -36, 20, -1}, {0x00, 0, 0, 0},  // out of range: dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "shift " << int(c.keyShift) << " bias " << int(c.playBias) << " key "
                                        << int(c.key));
        RcpSong song = OneTrack(V2, {Note(c.key, 1, 1, 1)});
        song.tracks[0].keyShift = c.keyShift;
        song.playBias = c.playBias;
        std::vector<std::string> expected;
        if (c.sounding >= 0) {
            char on[32], off[32];
            std::snprintf(on, sizeof on, "0 90 %02X 01", c.sounding);
            std::snprintf(off, sizeof off, "1 80 %02X 40", c.sounding);
            expected = {on, off};
        }
        EXPECT_THAT(DumpOf(song), ElementsAreArray(expected));
    }
}

TEST(RcpTiming, StepShiftMuteChannelOffAndTempoAcrossTracks) {
    RcpSong song;
    song.tempo = 120;
    song.tracks = {
        {.channel = 0, .stepShift = 4, .records = {Note(60, 1, 1, 1)}},
        {.channel = 1, .stepShift = -2, .records = {Note(62, 1, 1, 1)}},  // starts early: all wait 2
        {.channel = 0xFF, .records = {Command(0xE7, 0, 32), Note(64, 1, 1, 1)}},
        {.channel = 3, .mode = 1, .records = {Command(0xE7, 0, 128), Note(65, 1, 1, 1)}},  // muted
        {.channel = 4, .mode = 0x20, .records = {Note(67, 1, 1, 1)}},  // not muted: only bit 0 mutes
    };
    const ScoreReadResult r = Read(test::WriteRcp(song));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(Dump(r.score), ElementsAreArray({"0 91 3E 01", "1 81 3E 40", "2 94 43 01", "3 84 43 40", "6 90 3C 01",
                                                 "7 80 3C 40"}));
    // The silent track's tempo command (at its start, tick 2) halves the tempo for everyone.
    ASSERT_EQ(r.score.tempos.size(), 2u);
    EXPECT_EQ(r.score.tempos[0].usPerQuarter, 500000u);
    EXPECT_EQ(r.score.tempos[1].tick, 2u);
    EXPECT_EQ(r.score.tempos[1].usPerQuarter, 1000000u);
}

// "tick:key" of every note-on.
std::vector<std::string> NoteOns(const SongScore& score) {
    std::vector<std::string> ons;
    for (const ScoreEvent& e : score.events)
        if ((e.message[0] & 0xF0) == 0x90) ons.push_back(std::to_string(e.tick) + ":" + std::to_string(e.message[1]));
    return ons;
}

struct FlowCase {
    const char* name;
    std::vector<RcpRecord> (*records)(RcpGeneration);
    std::vector<std::string> noteOns;
};

RcpRecord N(std::uint8_t key) { return Note(key, 1, 1, 1); }
RcpRecord LoopStart() { return Command(0xF9); }
RcpRecord LoopEnd(std::uint16_t count) { return Command(0xF8, count); }

// Loops and same-measure replays, with the caps that keep every file finite.
const FlowCase kFlowCases[] = {
    {"a loop count is the number of passes", [](RcpGeneration) { return std::vector{LoopStart(), N(60), LoopEnd(3), N(62)}; },
     {"0:60", "1:60", "2:60", "3:62"}},
    {"nested loops", [](RcpGeneration) { return std::vector{LoopStart(), LoopStart(), N(60), LoopEnd(2), N(62), LoopEnd(2)}; },
     {"0:60", "1:60", "2:62", "3:60", "4:60", "5:62"}},
    {"count 0 loops forever: played twice", [](RcpGeneration) { return std::vector{LoopStart(), N(60), LoopEnd(0), N(62)}; },
     {"0:60", "1:60", "2:62"}},
    {"count 255 as well", [](RcpGeneration) { return std::vector{LoopStart(), N(60), LoopEnd(255), N(62)}; },
     {"0:60", "1:60", "2:62"}},
    {"a loop end without a start, and a loop still open at the end",
     [](RcpGeneration) { return std::vector{N(60), LoopEnd(3), LoopStart(), N(62)}; }, {"0:60", "1:62"}},
    {"a loop of more than 4000 beats is played twice",
     [](RcpGeneration) {
         return std::vector{LoopStart(), Note(60, 255, 1, 1), Note(0, 255, 0, 0), Note(0, 255, 0, 0), Note(0, 255, 0, 0),
                            LoopEnd(254)};
     },
     {"0:60", "1020:60"}},
    {"a same-measure reference replays the measure, up to its bar line",
     [](RcpGeneration g) { return std::vector{N(60), MeasureEnd(), N(62), MeasureEnd(), SameMeasure(g, 0, 0), N(64)}; },
     {"0:60", "1:62", "2:60", "3:64"}},
    {"a reference to a reference is followed",
     [](RcpGeneration g) {
         return std::vector{N(60), MeasureEnd(), SameMeasure(g, 0, 0), SameMeasure(g, 1, 2), N(64)};
     },
     {"0:60", "1:60", "2:60", "3:64"}},
    {"a wrong position falls back to the measure number",
     [](RcpGeneration g) {
         RcpRecord fc = SameMeasure(g, 1, 0);
         if (g == V2) fc.p2 = 0xFF;   // offset far past the track
         else fc.p1 = 0x7FFF;
         return std::vector{N(60), MeasureEnd(), N(62), MeasureEnd(), fc, N(64)};
     },
     {"0:60", "1:62", "2:62", "3:64"}},
    {"references to themselves and two-step cycles are ignored",
     [](RcpGeneration g) {
         return std::vector{N(60), MeasureEnd(), SameMeasure(g, 1, 2), SameMeasure(g, 2, 4), SameMeasure(g, 1, 3), N(64)};
     },
     {"0:60", "1:64"}},
    {"a loop around a replay replays it on every pass",
     [](RcpGeneration g) {
         return std::vector{N(60), MeasureEnd(), LoopStart(), SameMeasure(g, 0, 0), LoopEnd(2), N(64)};
     },
     {"0:60", "1:60", "2:60", "3:64"}},
};

TEST(RcpFlow, LoopsAndSameMeasureReplays) {
    for (RcpGeneration g : {V2, V3}) {
        for (const FlowCase& c : kFlowCases) {
            SCOPED_TRACE(std::string(c.name) + (g == V2 ? " (2.x)" : " (3.x)"));
            const ScoreReadResult r = Read(test::WriteRcp(OneTrack(g, c.records(g))));
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_THAT(NoteOns(r.score), ElementsAreArray(c.noteOns));
        }
    }
}

// A song that uses most of the format, written in either generation.
RcpSong Showcase(RcpGeneration g) {
    RcpSong song;
    song.generation = g;
    song.title = "\x83\x65\x83\x58\x83\x67 title";  // テスト, CP932
    song.timeBase = 96;
    song.tempo = 100;
    song.userExclusive[2] = {0x7E, 0x7F, 0x09, 0x01};
    song.tracks.push_back({.channel = 0, .records = {Command(0x92), Command(0xE7, 96, 96), Command(0xE7, 0, 64, 40)}});
    song.tracks.push_back({.channel = 0, .keyShift = 2, .records = {Command(0xE2, 0, 40, 1), Note(60, 48, 60, 100),
                                                                     Note(60, 48, 20, 90), MeasureEnd(),
                                                                     SameMeasure(g, 0, 0), Note(64, 300, 300, 70)}});
    song.tracks.push_back({.channel = 9, .keyShift = 0x80, .stepShift = 3,
                           .records = {LoopStart(), Note(36, 24, 1, 100), Note(42, 24, 1, 60), LoopEnd(3)}});
    return song;
}

TEST(RcpGenerations, BothGenerationsGiveTheSameSong) {
    RcpSong v2 = Showcase(V2);
    v2.tracks[1].records.back().step = 255;  // 2.x steps and gates are one byte
    v2.tracks[1].records.back().p1 = 255;
    RcpSong v3 = Showcase(V3);
    v3.tracks[1].records.back() = v2.tracks[1].records.back();
    const ScoreReadResult a = Read(test::WriteRcp(v2));
    const ScoreReadResult b = Read(test::WriteRcp(v3));
    ASSERT_TRUE(a.ok && b.ok) << a.error << b.error;
    EXPECT_THAT(Dump(a.score), ElementsAreArray(Dump(b.score)));
    EXPECT_EQ(a.score.tempos.size(), b.score.tempos.size());
    EXPECT_GT(a.score.tempos.size(), 10u);  // the glide
    EXPECT_EQ(a.score.title, "\x83\x65\x83\x58\x83\x67 title");
    EXPECT_EQ(b.score.title, a.score.title);
    EXPECT_EQ(a.score.timeBase.ticksPerQuarter, 96u);
    EXPECT_THAT(Dump(a.score), ::testing::Contains("0 F0 7E 7F 09 01 F7"));
}

TEST(RcpGenerations, TrackCountsAndSignatures) {
    struct Case {
        const char* name;
        RcpGeneration generation;
        std::optional<std::uint8_t> countField;
        std::size_t tracksWritten;
        std::size_t tracksPlayed;
    };
    const Case cases[] = {
        {"2.x, 18 tracks", V2, 18, 18, 18},
        {"2.x with 36 tracks keeps the 2.x signature", V2, 36, 36, 36},
        {"old 2.x files give no count: 18", V2, 0, 20, 18},
        {"3.x, 36 tracks", V3, 36, 36, 36},
        {"3.x with an absurd count: as many as the file has", V3, 200, 30, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RcpSong song;
        song.generation = c.generation;
        song.trackCountField = c.countField;
        song.padTracks = false;
        for (std::size_t i = 0; i < c.tracksWritten; ++i)
            song.tracks.push_back({.channel = static_cast<std::uint8_t>(i % 16), .records = {Note(static_cast<std::uint8_t>(i), 1, 1, 1)}});
        const std::vector<std::uint8_t> bytes = test::WriteRcp(song);
        EXPECT_TRUE(IsRcpFile(bytes.data(), bytes.size()));
        const ScoreReadResult r = ReadSongScore(bytes.data(), bytes.size());  // by signature, whatever the name
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(NoteOns(r.score).size(), c.tracksPlayed);
    }
}

TEST(RcpHeader, SettingsAndTheirFallbacks) {
    struct Case {
        const char* name;
        std::uint16_t timeBase;
        std::uint16_t tempo;
        std::optional<std::uint8_t> countField;
        std::uint32_t ticksPerQuarter;
        std::uint32_t usPerQuarter;
    };
    const Case cases[] = {
        {"time base with its high byte", 480, 150, 18, 480, 400000},
        {"no track count: the high byte is not used", 0x1E0, 120, 0, 0xE0, 500000},
        {"time base 0: 48", 0, 120, 18, 48, 500000},
        {"tempo 0 or past 250: 120", 48, 0, 18, 48, 500000},
        {"tempo 251", 48, 251, 18, 48, 500000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RcpSong song = OneTrack(V2, {N(60)});
        song.timeBase = c.timeBase;
        song.tempo = c.tempo;
        song.trackCountField = c.countField;
        const ScoreReadResult r = Read(test::WriteRcp(song));
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.score.timeBase.ticksPerQuarter, c.ticksPerQuarter);
        ASSERT_FALSE(r.score.tempos.empty());
        EXPECT_EQ(r.score.tempos[0].usPerQuarter, c.usPerQuarter);
    }
    // The 2.x title is 64 bytes: the memo after it is not part of it.
    RcpSong song = OneTrack(V2, {N(60)});
    song.title = std::string(64, 'T');
    song.memo = {"memo line"};
    EXPECT_EQ(Read(test::WriteRcp(song)).score.title, std::string(64, 'T'));
}

TEST(RcpTraps, WhatRealFilesHold) {
    // Wrong track sizes (too small, too large, past the file) and 18-bit sizes: every track found.
    for (std::optional<std::uint32_t> size : {std::optional<std::uint32_t>(48), std::optional<std::uint32_t>(0xFFF0),
                                              std::optional<std::uint32_t>(4)}) {
        RcpSong song;
        song.tracks = {{.channel = 0, .records = {N(60)}, .sizeField = size}, {.channel = 1, .records = {N(62)}}};
        EXPECT_THAT(NoteOns(Read(test::WriteRcp(song)).score), ElementsAreArray({"0:60", "0:62"})) << *size;
    }
    RcpSong big;
    big.tracks.push_back({.channel = 0, .records = std::vector<RcpRecord>(17000, Note(0, 0, 0, 0))});
    big.tracks[0].records.push_back(N(60));
    const std::uint32_t bigSize = 44 + (17000 + 2) * 4;
    big.tracks[0].sizeField = (bigSize & 0xFFFC) | ((bigSize >> 16) & 3);
    big.tracks.push_back({.channel = 1, .records = {N(62)}});
    EXPECT_THAT(NoteOns(Read(test::WriteRcp(big)).score), ElementsAreArray({"0:60", "0:62"}));

    // A footer after fewer tracks than the count: the song as it is.
    RcpSong footer = OneTrack(V2, {N(60)});
    footer.padTracks = false;
    footer.trailer = {'R', 'C', 'F', 'W', 0, 0, 0, 0};
    EXPECT_THAT(NoteOns(Read(test::WriteRcp(footer)).score), ElementsAreArray({"0:60"}));

    // ST+ of early files, which give no track count, is unsigned when a value does not fit -99..+99.
    RcpSong early = OneTrack(V2, {N(60)});
    early.trackCountField = 0;
    early.tracks[0].stepShift = static_cast<std::int8_t>(0x9C);
    EXPECT_THAT(NoteOns(Read(test::WriteRcp(early)).score), ElementsAreArray({"156:60"}));

    // A bar line that cut into a track exclusive's continuation records.
    for (RcpGeneration g : {V2, V3}) {
        std::vector<RcpRecord> split = Continuation(g, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
        std::vector<RcpRecord> records{Command(0x98)};
        records.push_back(split[0]);
        records.push_back(MeasureEnd());
        records.insert(records.end(), split.begin() + 1, split.end());
        records.push_back(SameMeasure(g, 0, 0));  // the bar line still ends the first measure
        const ScoreReadResult r = Read(test::WriteRcp(OneTrack(g, records)));
        EXPECT_THAT(Dump(r.score), ElementsAreArray({"0 F0 41 10 42 12 40 00 7F 00 41 F7", "0 F0 41 10 42 12 40 00 7F 00 41 F7"}));
    }

    // 3.x user exclusives split 23 + 25 (no space at offset 23).
    RcpSong v3 = OneTrack(V3, {Command(0x90)});
    std::vector<std::uint8_t> bytes = test::WriteRcp(v3);
    const std::uint8_t body[] = {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
    std::copy(std::begin(body), std::end(body), bytes.begin() + 0xB18 + 23);
    EXPECT_THAT(Dump(Read(bytes).score), ElementsAreArray({"0 F0 43 10 4C 00 00 7E 00 F7"}));
}

}  // namespace
}  // namespace kyro
