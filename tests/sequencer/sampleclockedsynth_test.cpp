// The synthesizer fed ahead of time and rendering ahead of the card: each message takes effect at
// the block of 64 frames nearest to its song time, a play begun at a moment is heard then, and a
// stop is silent at once although a good part of a second is rendered ahead. A real FluidSynth
// renders; the test is the render thread and the sound card, asking for frames by hand.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/sampleclockedsynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace kyro {
namespace {

constexpr double kRate = 44100.0;
constexpr int kPeriod = 100;  // not a whole number of blocks
constexpr int kBuffer = 4 * kPeriod;

struct Applied {
    std::int64_t songTimeUs;
    double due;
    std::int64_t at;
};

using Bytes = std::vector<std::uint8_t>;

class SampleClockedSynthTest : public ::testing::Test {
protected:
    void SetUp() override {
        clocked_.reset();
        applied_.clear();
        sound_.clear();
        OutputSettings settings;
        settings.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
        made_ = MakeFluidSynth(settings, kRate);
        ASSERT_TRUE(made_.synth) << made_.error;
        clocked_ = std::make_unique<SampleClockedSynth>(made_.synth->Synth(), kRate, kBuffer);
        clocked_->ObserveApplied(
            [this](std::int64_t songTimeUs, double due, std::int64_t at) { applied_.push_back({songTimeUs, due, at}); });
    }

    // Renders ahead and asks for `periods` periods, as the render thread and a card do; the left
    // channel is kept, in the order the card plays it.
    void Play(int periods) {
        std::vector<float> left(kPeriod), right(kPeriod);
        for (int i = 0; i < periods; ++i) {
            clocked_->RenderAhead();
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            float* out[2] = {left.data(), right.data()};
            clocked_->Render(kPeriod, 0, nullptr, 2, out);
            sound_.insert(sound_.end(), left.begin(), left.end());
        }
    }
    void Send(std::int64_t us, const Bytes& message) { clocked_->Send(us, message.data(), message.size()); }
    // A play of the engine: its clock starts when its first sound can be heard.
    void BeginPlay(std::int64_t fromUs, double scale = 1.0) {
        clocked_->BeginPlay(fromUs, std::chrono::steady_clock::now() + clocked_->Latency(), scale);
    }
    float Loudest(std::size_t from, std::size_t to) const {
        float peak = 0;
        for (std::size_t i = from; i < std::min(to, sound_.size()); ++i) peak = std::max(peak, std::fabs(sound_[i]));
        return peak;
    }
    std::int64_t FirstSoundingFrame() const {
        for (std::size_t i = 0; i < sound_.size(); ++i)
            if (std::fabs(sound_[i]) > 1e-4f) return std::int64_t(i);
        return -1;
    }
    double Frames(std::chrono::microseconds t) const { return double(t.count()) * kRate / 1e6; }

    SynthMakeResult made_;
    std::unique_ptr<SampleClockedSynth> clocked_;
    std::vector<Applied> applied_;
    std::vector<float> sound_;  // every frame the card played, from the first
};

TEST_F(SampleClockedSynthTest, EachMessageTakesEffectAtTheBlockNearestItsSongTime) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        SetUp();
        Play(3);  // the card runs before the play begins
        BeginPlay(500000, scale);
        const std::vector<std::int64_t> times = {500000, 510000, 600123, 750000, 800000};
        Send(times[0], {0xC0, 0});
        Send(times[1], {0x90, 60, 110});
        Send(times[2], {0x91, 64, 100});
        Send(times[3], {0x80, 60, 0});
        Send(times[4], {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // GS reset
        Play(int(Frames(clocked_->Latency()) + 0.4 * kRate) / kPeriod);

        ASSERT_EQ(applied_.size(), times.size());
        for (std::size_t i = 0; i < times.size(); ++i) {
            EXPECT_EQ(applied_[i].songTimeUs, times[i]);
            const double expectedDue = applied_[0].due + double(times[i] - times[0]) * kRate / 1e6 / scale;
            EXPECT_NEAR(applied_[i].due, expectedDue, 1e-6) << i;
            EXPECT_LE(std::fabs(double(applied_[i].at) - applied_[i].due), kSynthBlockFrames / 2.0) << i;
        }
        // The first note sounds from the block where it took effect, and not before.
        EXPECT_GE(FirstSoundingFrame(), applied_[1].at);
        EXPECT_LT(FirstSoundingFrame(), applied_[1].at + kSynthBlockFrames);
    }
}

// The card plays frame F - buffer when the device asks for frames from F on; a play begun for a moment a
// latency away starts at the frame the card plays then, which is never one rendered already. A
// device that has not called yet, or has stopped calling (a paused sound server), gets the first
// frame free, not a guess from the clock.
TEST_F(SampleClockedSynthTest, APlayStartsAtTheFrameTheCardPlaysWhenItIsDue) {
    Play(20);
    const auto asked = double(sound_.size() - kPeriod);  // by the last call
    BeginPlay(0);
    Send(0, {0x90, 60, 110});
    Play(int(Frames(clocked_->Latency())) / kPeriod + 10);
    ASSERT_EQ(applied_.size(), 1u);
    EXPECT_NEAR(applied_[0].due, asked - kBuffer + Frames(clocked_->Latency()), 0.002 * kRate);

    for (const bool deviceHasCalled : {false, true}) {
        SCOPED_TRACE(deviceHasCalled);
        SetUp();
        applied_.clear();
        if (deviceHasCalled) Play(2);
        clocked_->RenderAhead();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto rendered = double(sound_.size()) + Frames(SampleClockedSynth::kAhead);
        BeginPlay(0);
        Send(0, {0x90, 60, 110});
        Play(int(Frames(clocked_->Latency())) / kPeriod + 10);
        ASSERT_EQ(applied_.size(), 1u);
        EXPECT_GE(applied_[0].due, rendered);
        EXPECT_LE(applied_[0].due, rendered + Frames(clocked_->Latency()));
    }
}

// What the engine does at a stop: the queue and the sound rendered ahead are dropped, then the
// silencing follows. A loud sustained chord, and another already rendered ahead, are silent
// within 50 ms at the card; the silencing takes effect where the fade ends.
TEST_F(SampleClockedSynthTest, AStopDuringALoudChordIsSilentAtTheCardWithin50Ms) {
    Play(5);
    BeginPlay(0);
    Send(0, {0xC0, 19});  // church organ: it sounds as long as it is held
    const Bytes chord = {60, 64, 67, 72, 76};
    for (const std::uint8_t key : chord) Send(0, {0x90, key, 127});
    for (const std::uint8_t key : chord) Send(700000, {0x90, std::uint8_t(key + 1), 127});
    Play(int(Frames(clocked_->Latency()) + 0.6 * kRate) / kPeriod);  // 600 ms of the chord heard
    const std::size_t stoppedAt = sound_.size();  // the card plays stoppedAt - kBuffer now
    ASSERT_GT(Loudest(stoppedAt - 4410, stoppedAt), 0.1f);

    clocked_->DropQueued();
    applied_.clear();
    for (const std::uint8_t key : chord) Send(0, {0x80, key, 0});
    Send(0, {0xB0, 123, 0});
    Play(int(kRate) / kPeriod);

    const auto silentFrom = std::size_t(double(stoppedAt - kBuffer) + 0.050 * kRate);
    EXPECT_LT(Loudest(silentFrom, sound_.size()), 1e-4f);
    EXPECT_GT(Loudest(stoppedAt, stoppedAt + kPeriod), 0.0f);  // faded, not cut off
    ASSERT_FALSE(applied_.empty());
    EXPECT_EQ(applied_[0].at, std::int64_t(stoppedAt) + AheadBuffer::kFadeFrames);
}

}  // namespace
}  // namespace kyro
