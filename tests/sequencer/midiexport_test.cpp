// The MIDI file writer: a score written and read back plays the same messages at the same times.
#include "sequencer/midiexport.h"
#include "sequencer/midifile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace kyro {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Messages by time. The reader puts same-time messages of different tracks (channels) in track
// order, which need not be the score's order, so each time holds its messages as a sorted list.
std::map<std::int64_t, std::vector<Bytes>> ByTime(const Song& song) {
    std::map<std::int64_t, std::vector<Bytes>> times;
    for (const SongEvent& e : song.events) times[e.timeUs].push_back(e.message);
    for (auto& [time, messages] : times) std::sort(messages.begin(), messages.end());
    return times;
}

SongReadResult Played(const SongScore& score) { return ToSong({true, "", score}); }

SongReadResult ReadBack(const SongScore& score) {
    const Bytes file = ExportStandardMidiFile(score);
    return ReadMidiFile(file.data(), file.size());
}

SongScore Metrical(std::uint32_t ticksPerQuarter, std::vector<midi::TempoChange> tempos, std::vector<ScoreEvent> events,
                   std::uint64_t endTick = 0) {
    SongScore score;
    score.timeBase.ticksPerQuarter = ticksPerQuarter;
    score.tempos = std::move(tempos);
    score.events = std::move(events);
    OrderScoreEvents(score.events);
    score.endTick = std::max(endTick, score.events.empty() ? 0 : score.events.back().tick);
    return score;
}

SongScore Smpte(int fps, std::uint32_t ticksPerFrame, std::vector<ScoreEvent> events) {
    SongScore score = Metrical(1, {{0, 400000}}, std::move(events), 5000);
    score.timeBase = {0, fps, ticksPerFrame};
    return score;
}

struct RoundTrip {
    const char* name;
    SongScore score;
};

class MidiExportRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(MidiExportRoundTrip, ReadsBackAsTheScorePlays) {
    const SongScore& score = GetParam().score;
    const SongReadResult expected = Played(score);
    const SongReadResult read = ReadBack(score);
    ASSERT_TRUE(expected.ok) << expected.error;
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(ByTime(read.song), ByTime(expected.song));
    EXPECT_EQ(read.song.lengthUs, expected.song.lengthUs);
}

const std::vector<ScoreEvent> kChord = {
    {0, {0xC0, 5}},          {0, {0xC3, 40}},         {0, {0x90, 60, 100}},  {0, {0x93, 64, 90}},
    {0, {0x99, 36, 127}},    {240, {0x80, 60, 0}},    {240, {0x93, 64, 0}},  {240, {0x90, 62, 80}},
    {240, {0xB3, 7, 100}},   {480, {0xE0, 0, 0x40}},  {480, {0xD3, 20}},     {960, {0x80, 62, 0}},
    {960, {0x89, 36, 0}},
};

INSTANTIATE_TEST_SUITE_P(
    Scores, MidiExportRoundTrip,
    ::testing::Values(
        RoundTrip{"TempoChangesMidSong",
                  Metrical(480, {{0, 600000}, {240, 450000}, {240, 300000}, {700, 1000000}}, kChord, 2000)},
        RoundTrip{"NoTempoAtAll", Metrical(96, {}, kChord)},
        RoundTrip{"Smpte25", Smpte(25, 40, kChord)},
        RoundTrip{"Smpte2997", Smpte(29, 80, kChord)},
        RoundTrip{"SysExAndEscapes",
                  Metrical(480, {{100, 700000}},
                           {{0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
                            {0, {0x90, 60, 100}},
                            {100, {0xF0, 0x41, 0x10}},         // sent without its end
                            {100, {0x42, 0x12, 0x40, 0xF7}},   // the rest, as an F7 escape sends it
                            {100, {0xF0}},
                            {200, {0x80, 60, 0}}})},
        RoundTrip{"OddChannelMessages",
                  Metrical(480, {}, {{0, {0x90, 60}}, {10, {0xC1, 0x85}}, {20, {0xB2, 1, 2, 3}}, {30, {0x80, 60, 0}}})},
        RoundTrip{"DivisionTooFineDividedExactly",
                  Metrical(96000, {{0, 500000}, {48000, 250000}}, {{0, {0x90, 60, 1}}, {72000, {0x80, 60, 0}}}, 96000)},
        RoundTrip{"GapLongerThanOneDelta",
                  Metrical(0x7FFF, {{0, 1}}, {{0, {0x90, 60, 1}}, {0x30000000, {0x80, 60, 0}}})},
        RoundTrip{"Empty", Metrical(480, {}, {}, 100)}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

// A division that no common factor brings within 15 bits becomes 0x7FFF, each tick the nearest.
TEST(MidiExport, DivisionTooFineWithoutCommonFactorKeepsTimesWithinATick) {
    const SongScore score = Metrical(100003, {{0, 400000}, {50001, 900000}},
                                     {{1, {0x90, 60, 1}}, {50001, {0x90, 62, 1}}, {99999, {0x80, 60, 0}}});
    const SongReadResult expected = Played(score);
    const SongReadResult read = ReadBack(score);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.song.events.size(), expected.song.events.size());
    for (std::size_t i = 0; i < read.song.events.size(); ++i) {
        EXPECT_EQ(read.song.events[i].message, expected.song.events[i].message);
        EXPECT_LE(std::abs(read.song.events[i].timeUs - expected.song.events[i].timeUs), 900000 / 0x7FFF + 1);
    }
}

// The header and the conductor track's first events: what other sequencers show of the song.
TEST(MidiExport, WritesFormatOneWithTheConductorFirst) {
    SongScore score = Metrical(480, {}, kChord);
    score.title = "\x83\x65\x83\x58\x83\x67 song";
    score.meterNumerator = 6;
    score.meterDenominator = 8;
    const Bytes file = ExportStandardMidiFile(score);
    const Bytes header(file.begin(), file.begin() + 14);
    EXPECT_EQ(header, (Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 4, 0x01, 0xE0}));  // channels 1, 4, 10

    const Bytes title(score.title.begin(), score.title.end());
    Bytes conductor = {'M', 'T', 'r', 'k', 0, 0, 0, 0, 0, 0xFF, 0x03, static_cast<std::uint8_t>(title.size())};
    conductor.insert(conductor.end(), title.begin(), title.end());
    conductor.insert(conductor.end(), {0, 0xFF, 0x58, 4, 6, 3, 24, 8, 0x87, 0x40, 0xFF, 0x2F, 0});  // ends at 960
    conductor[7] = static_cast<std::uint8_t>(conductor.size() - 8);
    EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 14 + conductor.size()), conductor);

    const SongScore smpte = Smpte(25, 40, kChord);
    const Bytes smpteFile = ExportStandardMidiFile(smpte);
    EXPECT_EQ(smpteFile[12], 0xE7);  // -25
    EXPECT_EQ(smpteFile[13], 40);
}

}  // namespace
}  // namespace kyro
