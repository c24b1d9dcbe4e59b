// The real-time engine: the absolute schedule, the clock scale, stop with its position and its
// silencing, playing from a position, the end of a song. Most tests move a manual clock; a few
// play by the real clock, faster, to see the real thing keep order and time.
#include "sequencer/engine.h"
#include "sequencer/midifile.h"

#include "manualclock.h"
#include "recordingoutput.h"
#include "smfbuilder.h"
#include "testsong.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include <pthread.h>
#include <sched.h>

namespace kyro {
namespace {

using namespace std::chrono_literals;
using test::IsController;
using test::IsNoteOff;
using test::RecordedMessage;
using Msg = std::vector<std::uint8_t>;

std::shared_ptr<const Song> MakeSong(std::vector<SongEvent> events, std::int64_t lengthUs) {
    auto song = std::make_shared<Song>();
    song->events = std::move(events);
    song->lengthUs = lengthUs;
    return song;
}

std::vector<Msg> BytesOf(const std::vector<RecordedMessage>& messages, std::size_t from = 0) {
    std::vector<Msg> out;
    for (std::size_t i = from; i < messages.size(); ++i) out.push_back(messages[i].bytes);
    return out;
}

class ManualEngineTest : public ::testing::Test {
protected:
    ManualEngineTest() : clock(new test::ManualClock), engine(std::unique_ptr<EngineClock>(clock)) {}

    // The deadline the engine sleeps for, as song time elapsed since the start of the play.
    std::chrono::microseconds NextWake() {
        const auto deadline = clock->WaitForSleep();
        EXPECT_TRUE(deadline.has_value()) << "the engine does not wait for anything";
        return deadline ? std::chrono::duration_cast<std::chrono::microseconds>(*deadline - engine.StartedAt()) : -1us;
    }
    // Only after NextWake(): before its first sleep the engine may not have started.
    void AdvanceTo(std::chrono::microseconds sinceStart) { clock->AdvanceTo(engine.StartedAt() + sinceStart); }

    test::RecordingOutput output;  // outlives the engine
    test::ManualClock* clock;      // owned by the engine
    SequencerEngine engine;
};

TEST_F(ManualEngineTest, EachEventIsDueFromTheStartNotFromTheLastWakeUp) {
    const auto song = MakeSong({{0, {0x90, 60, 100}},
                                {1000, {0x80, 60, 0}},
                                {2500, {0xB0, 7, 90}},
                                {10000, {0x90, 62, 100}},
                                {10000, {0x80, 62, 0}}},
                               12000);
    std::atomic<int> completions = 0;
    engine.Play(song, output, 0, [&] { ++completions; });

    EXPECT_EQ(NextWake(), 1000us);
    EXPECT_EQ(output.Messages().size(), 1u);  // the event at 0 went at once
    AdvanceTo(5000us);                         // the engine wakes 4 ms late
    EXPECT_EQ(NextWake(), 10000us);            // and still aims at the song's time, not 5 ms + 7.5 ms
    EXPECT_EQ(output.Messages().size(), 3u);
    AdvanceTo(10000us);
    EXPECT_EQ(NextWake(), 12000us);  // the end of the song, after the last event
    EXPECT_EQ(completions, 0);
    AdvanceTo(12000us);
    engine.WaitForEnd();

    const auto messages = output.Messages();
    ASSERT_EQ(messages.size(), song->events.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].songTimeUs, song->events[i].timeUs) << i;
        EXPECT_EQ(messages[i].bytes, song->events[i].message) << i;
    }
    ASSERT_EQ(output.Flushes().size(), 1u);
    EXPECT_EQ(output.Flushes()[0].songTimeUs, 12000);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(engine.IsPlaying());
}

TEST_F(ManualEngineTest, ClockScaleShortensTheWaitsButNotTheSongTimes) {
    engine.SetClockScale(4);
    engine.Play(MakeSong({{0, {0xC0, 1}}, {4000, {0x90, 60, 1}}, {10000, {0x80, 60, 0}}}, 10000), output, 0);
    EXPECT_EQ(NextWake(), 1000us);
    AdvanceTo(1000us);
    EXPECT_EQ(NextWake(), 2500us);
    AdvanceTo(2500us);
    engine.WaitForEnd();
    const auto messages = output.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].songTimeUs, 4000);
    EXPECT_EQ(messages[2].songTimeUs, 10000);

    // Nonsense scales play in real time.
    engine.SetClockScale(0);
    engine.Play(MakeSong({{0, {0xC0, 1}}, {4000, {0x90, 60, 1}}}, 4000), output, 0);
    EXPECT_EQ(NextWake(), 4000us);
    engine.Stop();
}

TEST_F(ManualEngineTest, TempoChangesPlayAtTheTimesTheReaderWorkedOut) {
    // 480 ticks per quarter: 120 BPM for the first quarter, then 240 BPM.
    test::TrackBuilder track;
    track.Tempo(0, 500000).Event(0, {0x90, 60, 100}).Tempo(480, 250000).Event(0, {0x90, 62, 100});
    track.Event(480, {0x90, 64, 100}).EndOfTrack(480);
    const test::Bytes file = test::Smf(0, 480, {track});
    SongReadResult read = ReadMidiFile(file.data(), file.size());
    ASSERT_TRUE(read.ok) << read.error;
    const auto song = std::make_shared<const Song>(std::move(read.song));
    ASSERT_EQ(song->events.size(), 3u);
    EXPECT_EQ(song->events[1].timeUs, 500000);
    EXPECT_EQ(song->events[2].timeUs, 750000);
    EXPECT_EQ(song->lengthUs, 1000000);

    engine.Play(song, output, 0);
    for (const auto wake : {500000us, 750000us, 1000000us}) {
        EXPECT_EQ(NextWake(), wake);
        AdvanceTo(wake);
    }
    engine.WaitForEnd();
    EXPECT_EQ(output.Log()->MessagesWhere(test::IsNoteOn).size(), 3u);
}

TEST_F(ManualEngineTest, StopKeepsThePositionAndLeavesNothingSounding) {
    const auto song = MakeSong({{0, {0xB0, 64, 127}},  // sustain on
                                {0, {0x90, 60, 100}},
                                {0, {0x99, 36, 100}},
                                {0, {0x90, 64, 100}},
                                {100000, {0x80, 64, 0}},
                                {2000000, {0x93, 70, 100}}},
                               3000000);
    engine.Play(song, output, 0);
    EXPECT_EQ(NextWake(), 100000us);
    AdvanceTo(400000us);
    EXPECT_EQ(NextWake(), 2000000us);
    const std::size_t played = output.Messages().size();
    ASSERT_EQ(played, 5u);

    EXPECT_EQ(engine.Stop(), 400000);
    EXPECT_FALSE(engine.IsPlaying());
    const auto messages = output.Messages();
    const std::vector<Msg> after = BytesOf(messages, played);
    // The notes still held end one by one (64 had ended already) ...
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[0], (Msg{0x80, 60, 0}));
    EXPECT_EQ(after[1], (Msg{0x89, 36, 0}));
    // ... then every channel: all notes off, sustain off, reset all controllers.
    ASSERT_EQ(after.size(), 2u + 16 * 3);
    for (int channel = 0; channel < 16; ++channel) {
        const auto status = std::uint8_t(0xB0 | channel);
        EXPECT_EQ(after[2 + channel * 3], (Msg{status, 123, 0}));
        EXPECT_EQ(after[3 + channel * 3], (Msg{status, 64, 0}));
        EXPECT_EQ(after[4 + channel * 3], (Msg{status, 121, 0}));
    }
    for (std::size_t i = played; i < messages.size(); ++i) EXPECT_EQ(messages[i].songTimeUs, 400000);
    ASSERT_EQ(output.Flushes().size(), 1u);
    EXPECT_EQ(output.Flushes()[0].songTimeUs, 400000);
    EXPECT_EQ(output.Flushes()[0].afterMessages, messages.size());
    EXPECT_EQ(engine.Stop(), 400000);  // nothing more to stop
    EXPECT_EQ(output.Messages().size(), messages.size());
}

TEST_F(ManualEngineTest, AStopBeforeALateWakeUpKeepsTheUnsentEventForLater) {
    const auto song = MakeSong({{0, {0xC0, 1}}, {1000, {0x90, 60, 1}}}, 5000);
    engine.Play(song, output, 0);
    EXPECT_EQ(NextWake(), 1000us);
    // The time is 3 ms, but the engine has not woken for the note due at 1 ms yet when the stop
    // comes: the position is that note, so that playing on sends it.
    clock->AdvanceQuietlyTo(engine.StartedAt() + 3000us);
    EXPECT_EQ(engine.Stop(), 1000);
    EXPECT_TRUE(output.Log()->MessagesWhere(test::IsNoteOn).empty());

    output.Log()->Clear();
    engine.Play(song, output, 1000);
    EXPECT_EQ(NextWake(), 4000us);
    const auto notes = output.Log()->MessagesWhere(test::IsNoteOn);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].songTimeUs, 1000);
    engine.Stop();
}

TEST_F(ManualEngineTest, PlayingFromAPositionSendsTheChannelSetUpFirst) {
    const auto song = MakeSong({{0, {0xC0, 5}},
                                {0, {0xB0, 7, 100}},
                                {0, {0x90, 60, 100}},
                                {100000, {0xB0, 7, 80}},
                                {100000, {0xE0, 0, 80}},
                                {100000, {0x80, 60, 0}},
                                {200000, {0xB1, 0, 1}},   // bank select, then the program it qualifies
                                {200000, {0xC1, 10}},
                                {200000, {0xB0, 101, 0}},  // RPN 0 (bend range) := 12 semitones
                                {200000, {0xB0, 100, 0}},
                                {200000, {0xB0, 6, 12}},
                                {200000, {0xB0, 123, 0}},
                                {300000, {0x90, 64, 100}}},
                               400000);
    engine.Play(song, output, 250000);
    EXPECT_EQ(NextWake(), 50000us);  // the next event, 300 ms, counted from the position
    const auto setUp = output.Messages();
    const std::vector<Msg> expected = {{0xC0, 5},     {0xB0, 7, 80},  {0xE0, 0, 80},  {0xB1, 0, 1},
                                       {0xC1, 10},    {0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 12}};
    EXPECT_EQ(BytesOf(setUp), expected);
    for (const auto& m : setUp) EXPECT_EQ(m.songTimeUs, 250000);
    AdvanceTo(50000us);
    EXPECT_EQ(NextWake(), 150000us);
    EXPECT_EQ(output.Messages().back().bytes, (Msg{0x90, 64, 100}));
    EXPECT_EQ(output.Messages().back().songTimeUs, 300000);
    engine.Stop();
}

TEST_F(ManualEngineTest, NotesLeftOnAtTheEndAreEnded) {
    std::atomic<int> completions = 0;
    engine.Play(MakeSong({{0, {0x92, 50, 100}}}, 1000), output, 0, [&] { ++completions; });
    EXPECT_EQ(NextWake(), 1000us);
    AdvanceTo(1000us);
    engine.WaitForEnd();
    const auto messages = output.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].bytes, (Msg{0x82, 50, 0}));
    EXPECT_EQ(messages[1].songTimeUs, 1000);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(engine.Stop(), 1000);  // after the end: the length, and no silencing
    EXPECT_EQ(output.Messages().size(), 2u);
    EXPECT_EQ(completions, 1);
}

TEST_F(ManualEngineTest, PositionsOutsideTheSongAndEmptySongs) {
    std::atomic<int> completions = 0;
    engine.Play(MakeSong({{0, {0xC0, 3}}, {500, {0x90, 1, 1}}}, 1000), output, 5000, [&] { ++completions; });
    engine.WaitForEnd();  // from beyond the end: the set-up (no notes), then the end at once
    EXPECT_EQ(BytesOf(output.Messages()), (std::vector<Msg>{{0xC0, 3}}));
    EXPECT_EQ(engine.Stop(), 1000);

    output.Log()->Clear();
    engine.Play(MakeSong({}, 0), output, -20, [&] { ++completions; });
    engine.WaitForEnd();
    EXPECT_EQ(completions, 2);
    EXPECT_TRUE(output.Messages().empty());
    ASSERT_EQ(output.Flushes().size(), 1u);
    EXPECT_EQ(output.Flushes()[0].songTimeUs, 0);
}

TEST_F(ManualEngineTest, ANewPlayStopsTheOneUnderWayFirst) {
    const auto song = MakeSong({{0, {0x90, 60, 100}}, {50000, {0x80, 60, 0}}}, 50000);
    std::atomic<int> completions = 0;
    engine.Play(song, output, 0, [&] { ++completions; });
    NextWake();
    engine.Play(song, output, 0, [&] { ++completions; });
    NextWake();
    // The first play was silenced (note 60 ended) before the second began.
    const auto messages = BytesOf(output.Messages());
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[1], (Msg{0x80, 60, 0}));
    EXPECT_EQ(messages.back(), (Msg{0x90, 60, 100}));
    engine.Stop();
    EXPECT_EQ(completions, 0);  // stopped plays never complete
}

// An output that queues ahead of time, as the synthesizer does: what the engine tells it about the
// play, and when it was told to drop its queue.
class QueueingOutput : public test::RecordingOutput {
public:
    std::chrono::microseconds Lookahead() const override { return 200ms; }
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override {
        std::lock_guard lock(mutex_);
        begun_ = {fromUs, start, scale};
    }
    void DropQueued() override {
        std::lock_guard lock(mutex_);
        droppedAfter_ = Messages().size();
    }
    struct Begun {
        std::int64_t fromUs;
        std::chrono::steady_clock::time_point start;
        double scale;
    };
    std::optional<Begun> begun() {
        std::lock_guard lock(mutex_);
        return begun_;
    }
    std::optional<std::size_t> droppedAfter() {
        std::lock_guard lock(mutex_);
        return droppedAfter_;
    }

private:
    std::mutex mutex_;
    std::optional<Begun> begun_;
    std::optional<std::size_t> droppedAfter_;
};

TEST_F(ManualEngineTest, AnOutputThatQueuesGetsEventsAheadTheEndOnTimeAndADropBeforeTheSilence) {
    QueueingOutput queueing;
    const auto song = MakeSong({{0, {0xC0, 5}}, {300000, {0x90, 60, 100}}, {1000000, {0x80, 60, 0}},
                                {2000000, {0x90, 62, 100}}},
                               2400000);
    engine.SetClockScale(2);
    engine.Play(song, queueing, 100000);
    // From 100 ms at twice the speed, 200 ms early: the note at 300 ms goes at once, the note-off
    // at 1000 ms after 250 ms, the next note after 750 ms.
    EXPECT_EQ(NextWake(), 250000us);
    ASSERT_TRUE(queueing.begun().has_value());
    EXPECT_EQ(queueing.begun()->fromUs, 100000);
    EXPECT_EQ(queueing.begun()->start, engine.StartedAt());
    EXPECT_EQ(queueing.begun()->scale, 2.0);
    EXPECT_EQ(BytesOf(queueing.Messages()), (std::vector<Msg>{{0xC0, 5}, {0x90, 60, 100}}));  // set-up, then the note
    AdvanceTo(250000us);
    EXPECT_EQ(NextWake(), 750000us);
    engine.Stop();
    EXPECT_EQ(queueing.droppedAfter(), 3u);  // after what was queued, before the silencing
    EXPECT_GT(queueing.Messages().size(), 3u);

    engine.Play(MakeSong({{0, {0x90, 60, 100}}}, 1000000), queueing, 0);
    EXPECT_EQ(NextWake(), 500000us);  // the end of a song is not brought forward
    engine.Stop();
}

// An output heard some time after the engine hands it a message, as a synthesizer is.
class LateOutput : public test::RecordingOutput {
public:
    std::chrono::microseconds Latency() const override { return 100ms; }
};

TEST_F(ManualEngineTest, ThePositionIsWhatHasBeenHeard) {
    LateOutput late;
    const auto song = MakeSong({{0, {0x90, 60, 100}}, {2000000, {0x80, 60, 0}}}, 3000000);
    engine.SetClockScale(2);
    engine.Play(song, late, 500000);
    NextWake();
    EXPECT_EQ(engine.PositionUs(), 500000);  // nothing heard yet
    AdvanceTo(250000us);
    EXPECT_EQ(engine.PositionUs(), 1000000);  // at twice the speed
    engine.Stop();
    AdvanceTo(400000us);
    EXPECT_EQ(engine.PositionUs(), 1000000);  // where the stop left it

    engine.Play(song, late, 1000000);
    NextWake();
    AdvanceTo(5000000us);
    engine.WaitForEnd();
    EXPECT_EQ(engine.PositionUs(), 3000000);  // the end, however late the clock
}

// By the real clock.

TEST(RealClockEngine, PlaysInOrderAndNeverEarly) {
    test::RecordingOutput output;
    SequencerEngine engine;
    engine.SetClockScale(10);  // the 2 s song in 0.2 s
    const auto song = MakeSong(test::TestSongEvents(), test::kTestSongLengthUs);
    std::atomic<int> completions = 0;
    engine.Play(song, output, 0, [&] { ++completions; });
    engine.WaitForEnd();
    EXPECT_EQ(completions, 1);

    const auto messages = output.Messages();
    ASSERT_EQ(messages.size(), song->events.size());
    const auto start = engine.StartedAt();
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].bytes, song->events[i].message) << i;
        EXPECT_EQ(messages[i].songTimeUs, song->events[i].timeUs) << i;
        const auto due = start + std::chrono::microseconds(song->events[i].timeUs / 10);
        EXPECT_GE(messages[i].arrived, due) << "event " << i << " was sent early";
        // Generous: a loaded test machine may be late, but never by a sizeable part of the song.
        EXPECT_LT(messages[i].arrived - due, 50ms) << i;
    }
    ASSERT_EQ(output.Flushes().size(), 1u);
    EXPECT_EQ(output.Flushes()[0].songTimeUs, test::kTestSongLengthUs);
}

TEST(RealClockEngine, StopWakesTheEngineInTheMiddleOfALongRest) {
    test::RecordingOutput output;
    SequencerEngine engine;
    engine.Play(MakeSong({{0, {0x90, 60, 100}}, {60000000, {0x80, 60, 0}}}, 60000000), output, 0);
    ASSERT_TRUE(output.Log()->WaitForMessages(1, 2s));
    std::this_thread::sleep_for(20ms);
    const auto asked = std::chrono::steady_clock::now();
    const std::int64_t position = engine.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 500ms);
    EXPECT_GE(position, 20000);
    EXPECT_LT(position, 10000000);
    EXPECT_EQ(output.Log()->MessagesWhere([](const Msg& m) { return IsNoteOff(m); }).size(), 1u);
}

// Where the system allows it (root, RLIMIT_RTPRIO, RealtimeKit), the engine plays in a real-time
// thread, so that a busy machine does not hold its wake-ups up.
TEST(RealClockEngine, PlaysInARealtimeThreadWhereTheSystemAllowsIt) {
    class PolicyOutput : public MidiOutput {
    public:
        void Send(std::int64_t, const std::uint8_t*, std::size_t) override { policy = sched_getscheduler(0); }
        std::atomic<int> policy{-1};
    } output;
    int allowed = -1;
    std::thread([&] {
        sched_param param{};
        param.sched_priority = 1;
        allowed = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }).join();
    if (allowed != 0) GTEST_SKIP() << "this user may not have real-time threads without RealtimeKit";
    SequencerEngine engine;
    engine.Play(MakeSong({{0, {0x90, 60, 100}}}, 1000), output, 0);
    engine.WaitForEnd();
    EXPECT_EQ(output.policy.load() & ~SCHED_RESET_ON_FORK, SCHED_FIFO);
}

TEST(RealClockEngine, DestroyingAPlayingEngineSilencesAndJoins) {
    test::RecordingOutput output;
    {
        SequencerEngine engine;
        engine.Play(MakeSong({{0, {0x95, 60, 100}}, {10000000, {0x85, 60, 0}}}, 10000000), output, 0);
        ASSERT_TRUE(output.Log()->WaitForMessages(1, 2s));
    }
    const auto messages = BytesOf(output.Messages());
    ASSERT_EQ(messages.size(), 2u + 16 * 3);
    EXPECT_EQ(messages[1], (Msg{0x85, 60, 0}));
    EXPECT_EQ(output.Log()->MessagesWhere([](const Msg& m) { return IsController(m, 123); }).size(), 16u);
}

}  // namespace
}  // namespace kyro
