// Reading well-formed Standard MIDI Files: formats, time bases, running status, SysEx, RMID.

#include "sequencer/midifile.h"
#include "sequencer/tickclock.h"
#include "smfbuilder.h"
#include "songdump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kyro {
namespace {

using test::Bytes;
using test::DumpEvents;
using test::Smf;
using test::TrackBuilder;
using ::testing::ElementsAre;

SongReadResult Read(const Bytes& bytes) { return ReadMidiFile(bytes.data(), bytes.size()); }

TEST(MidiFileFormats, Format0PlaysAtDefaultTempoAndEndsAtEndOfTrack) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(480, {0x80, 0x3C, 0x00}).EndOfTrack(480);
    const SongReadResult r = Read(Smf(0, 480, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    // 120 BPM until a tempo change: a quarter note (480 ticks) is 500000 µs.
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40", "500000 80 3C 00"));
    EXPECT_EQ(r.song.lengthUs, 1000000);
}

TEST(MidiFileFormats, Format1MergesTracksByTimeWithOneTempoMap) {
    TrackBuilder conductor, a, b;
    conductor.Tempo(0, 1000000).EndOfTrack(0);  // 60 BPM, from the conductor track
    a.Event(0, {0x90, 0x3C, 0x40}).Event(240, {0x90, 0x3E, 0x40}).EndOfTrack(0);
    b.Event(120, {0x91, 0x40, 0x40}).Event(240, {0x91, 0x43, 0x40}).EndOfTrack(0);
    const SongReadResult r = Read(Smf(1, 480, {conductor, a, b}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song),
                ElementsAre("0 90 3C 40", "250000 91 40 40", "500000 90 3E 40", "750000 91 43 40"));
}

TEST(MidiFileFormats, Format1TempoChangeInALaterTrackAppliesToEarlierTracks) {
    TrackBuilder a, b;
    a.Event(960, {0x90, 0x3C, 0x40}).EndOfTrack(0);
    b.Tempo(480, 250000).EndOfTrack(0);  // 240 BPM from beat 2
    const SongReadResult r = Read(Smf(1, 480, {a, b}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("750000 90 3C 40"));
}

TEST(MidiFileFormats, Format2PlaysTracksOneAfterAnotherEachWithItsOwnTempo) {
    TrackBuilder first, second;
    first.Event(0, {0x90, 0x3C, 0x40}).Event(480, {0x80, 0x3C, 0x00}).EndOfTrack(480);  // ends at 1 s
    second.Tempo(0, 1000000).Event(0, {0x90, 0x40, 0x40}).Event(480, {0x80, 0x40, 0x00}).EndOfTrack(0);
    const SongReadResult r = Read(Smf(2, 480, {first, second}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song),
                ElementsAre("0 90 3C 40", "500000 80 3C 00", "1000000 90 40 40", "2000000 80 40 00"));
    EXPECT_EQ(r.song.lengthUs, 2000000);
}

TEST(MidiFileFormats, Format0WithSeveralTracksIsMergedLikeFormat1) {
    TrackBuilder a, b;
    a.Event(480, {0x90, 0x3C, 0x40}).EndOfTrack(0);
    b.Event(0, {0x90, 0x40, 0x40}).EndOfTrack(0);
    const SongReadResult r = Read(Smf(0, 480, {a, b}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 40 40", "500000 90 3C 40"));
}

TEST(MidiFileTempo, TempoChangeMidSongGivesExactMicroseconds) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40})
        .Tempo(960, 1000000)             // 120 -> 60 BPM after two beats (1 s)
        .Event(480, {0x80, 0x3C, 0x00})  // one beat at 60 BPM later: 2 s
        .Event(1, {0x90, 0x3E, 0x40})    // one tick at 60 BPM: 1000000 / 480 = 2083.33 µs
        .EndOfTrack(479);
    const SongReadResult r = Read(Smf(0, 480, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40", "2000000 80 3C 00", "2002083 90 3E 40"));
    EXPECT_EQ(r.song.lengthUs, 3000000);
}

TEST(MidiFileTempo, ManyTempoChangesDoNotAccumulateRounding) {
    // 3 ticks per quarter and a tempo change on every tick: each tick lasts 33333.33 or
    // 33333.67 µs, so rounding each step would drift by about a third of a µs per tick.
    TrackBuilder t;
    unsigned __int128 exact = 0;  // sum of ticks x tempo
    for (int i = 0; i < 3000; ++i) {
        const std::uint32_t tempo = (i % 2) ? 100001 : 100000;
        t.Tempo(i == 0 ? 0 : 1, tempo);
        if (i < 2999) exact += tempo;
    }
    t.Event(0, {0x90, 0x3C, 0x40}).EndOfTrack(0);
    const SongReadResult r = Read(Smf(0, 3, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.song.events.size(), 1u);
    EXPECT_EQ(r.song.events[0].timeUs, static_cast<std::int64_t>(exact / 3));
}

TEST(MidiFileTempo, ClockConvertsFromTheLastTempoChangeAndSaturates) {
    const midi::TickClock clock = midi::TickClock::Metrical(1, {{0, 0xFFFFFF}, {10, 7}, {10, 3}});
    EXPECT_EQ(clock.UsAt(10), 10LL * 0xFFFFFF);
    EXPECT_EQ(clock.UsAt(12), 10LL * 0xFFFFFF + 6);  // the later change at tick 10 holds
    EXPECT_EQ(midi::TickClock::Metrical(1, {{0, 0xFFFFFF}}).UsAt(~0ULL), INT64_MAX);
}

TEST(MidiFileTimeDivision, SmpteGivesMicrosecondsDirectlyAndIgnoresTempo) {
    TrackBuilder t;
    t.Tempo(0, 1000000).Event(1000, {0x90, 0x3C, 0x40}).Event(1, {0x80, 0x3C, 0x00}).EndOfTrack(0);
    // 25 frames of 40 ticks a second: a tick is a millisecond.
    const SongReadResult r = Read(Smf(0, test::SmpteDivision(25, 40), {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("1000000 90 3C 40", "1001000 80 3C 00"));
}

TEST(MidiFileTimeDivision, Smpte29MeansDropFrame2997) {
    TrackBuilder t;
    t.Event(2997, {0x90, 0x3C, 0x40}).Event(1, {0x80, 0x3C, 0x00}).EndOfTrack(0);
    // 29.97 frames of 100 ticks: 2997 ticks are exactly one second, one tick 333.67 µs.
    const SongReadResult r = Read(Smf(1, test::SmpteDivision(29, 100), {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("1000000 90 3C 40", "1000333 80 3C 00"));
}

TEST(MidiFileMessages, EveryChannelMessageWithItsDataLengthAndRunningStatus) {
    TrackBuilder t;
    t.Event(0, {0x80, 0x3C, 0x10})
        .Event(0, {0x91, 0x3C, 0x40})
        .Event(0, {0x3E, 0x41})  // running status 91
        .Event(0, {0xA2, 0x3C, 0x20})
        .Event(0, {0xB3, 0x07, 0x64})
        .Event(0, {0x0A, 0x40})  // running status B3
        .Event(0, {0xC4, 0x05})
        .Event(0, {0x06})  // running status C4, one data byte
        .Event(0, {0xD5, 0x30})
        .Event(0, {0xE6, 0x00, 0x40})
        .Event(0, {0x7F, 0x7F})  // running status E6
        .EndOfTrack(0);
    const SongReadResult r = Read(Smf(0, 96, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song),
                ElementsAre("0 80 3C 10", "0 A2 3C 20", "0 B3 07 64", "0 B3 0A 40", "0 C4 05", "0 C4 06",
                            "0 D5 30", "0 E6 00 40", "0 E6 7F 7F", "0 91 3C 40", "0 91 3E 41"));
}

TEST(MidiFileMessages, RunningStatusHoldsAcrossDeltaTimes) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(96, {0x3C, 0x00}).Event(96, {0x3E, 0x40}).EndOfTrack(0);
    const SongReadResult r = Read(Smf(0, 96, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40", "500000 90 3C 00", "1000000 90 3E 40"));
}

TEST(MidiFileMessages, SysExInBothFormsAndInPackets) {
    TrackBuilder t;
    t.SysEx(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // GM System On, F7 stored in the event
        .SysEx(1, 0xF0, {0x43, 0x10})                  // the first packet of a split message...
        .SysEx(1, 0xF7, {0x4C})                        // ...a packet that goes on...
        .SysEx(1, 0xF7, {0x01, 0x02, 0xF7})            // ...and the last: all joined to the first
        .SysEx(0, 0xF0, {0x41})                        // without its F7, and a note follows: added
        .Event(0, {0x90, 0x3C, 0x40})
        .SysEx(1, 0xF7, {0xF8})                        // escape carrying a real-time message
        .SysEx(1, 0xF7, {})                            // empty escape: nothing to send
        .SysEx(1, 0xF0, {})                            // empty F0 form: F0 F7
        .EndOfTrack(0);
    const SongReadResult r = Read(Smf(0, 500000 / 1000 / 10, {t}));  // 50 tpq: a tick is 10 ms
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 F0 7E 7F 09 01 F7", "10000 F0 43 10 4C 01 02 F7",
                                                "30000 F0 41 F7", "30000 90 3C 40", "40000 F8", "60000 F0 F7"));
}

TEST(MidiFileMessages, OtherMetaEventsAreSkippedAndEndOfTrackEndsTheTrack) {
    TrackBuilder t;
    t.Meta(0, 0x03, Bytes(200, 'x'))  // a track name with a two-byte length
        .Meta(0, 0x58, {4, 2, 24, 8})
        .Meta(0, 0x7F, {0x90, 0x3C, 0x40})  // sequencer-specific data that looks like a note
        .Event(0, {0x90, 0x3C, 0x40})
        .EndOfTrack(96)
        .Event(0, {0x90, 0x3E, 0x40});  // after the end of track: not part of the song
    const SongReadResult r = Read(Smf(0, 96, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40"));
    EXPECT_EQ(r.song.lengthUs, 500000);
}

TEST(MidiFileLength, LastEndOfTrackOverAllTracksIsTheLength) {
    TrackBuilder a, b, c;
    a.Event(0, {0x90, 0x3C, 0x40}).EndOfTrack(96);
    b.Event(0, {0x90, 0x40, 0x40}).EndOfTrack(384);  // the longest: 2 s
    c.Event(192, {0x90, 0x43, 0x40});                // no end of track: ends with its last event
    const SongReadResult r = Read(Smf(1, 96, {a, b, c}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.song.lengthUs, 2000000);

    TrackBuilder only;
    only.Event(192, {0x90, 0x43, 0x40});
    const SongReadResult noEnd = Read(Smf(0, 96, {only}));
    ASSERT_TRUE(noEnd.ok) << noEnd.error;
    EXPECT_EQ(noEnd.song.lengthUs, 1000000);
}

TEST(MidiFileContainer, RmidWrapperHoldsTheSameSong) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).Event(480, {0x80, 0x3C, 0x00}).EndOfTrack(0);
    const Bytes smf = Smf(0, 480, {t});
    const SongReadResult bare = Read(smf);
    const SongReadResult wrapped = Read(test::Rmid(smf));
    ASSERT_TRUE(wrapped.ok) << wrapped.error;
    EXPECT_EQ(DumpEvents(wrapped.song), DumpEvents(bare.song));
    EXPECT_EQ(wrapped.song.lengthUs, bare.song.lengthUs);
}

TEST(MidiFileContainer, LongerHeaderAndUnknownChunksAreSkipped) {
    TrackBuilder t;
    t.Event(0, {0x90, 0x3C, 0x40}).EndOfTrack(0);
    Bytes file = test::Chunk("MThd", {0, 0, 0, 1, 0, 96, 0xAA, 0xBB});  // 8-byte header
    test::Append(file, test::Chunk("XFIH", {1, 2, 3}));
    test::Append(file, test::Chunk("MTrk", t.bytes()));
    test::Append(file, {0, 0});  // padding some writers leave at the end
    const SongReadResult r = Read(file);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_THAT(DumpEvents(r.song), ElementsAre("0 90 3C 40"));
}

TEST(MidiFileContainer, AnEmptySongIsReadAsEmpty) {
    TrackBuilder t;
    t.Tempo(0, 600000).EndOfTrack(96);
    const SongReadResult r = Read(Smf(0, 96, {t}));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.song.events.empty());
    EXPECT_EQ(r.song.lengthUs, 600000);
}

}  // namespace
}  // namespace kyro
