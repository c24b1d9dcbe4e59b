// The synthesizer fed ahead of time: each message takes effect at the block of 64 frames nearest
// to its song time, whatever the size of the device's periods, and a stop drops what is queued.
// A real FluidSynth renders; the test plays the sound card, asking for frames by hand.
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
    double due;
    std::int64_t at;
};

class SampleClockedSynthTest : public ::testing::Test {
protected:
    void SetUp() override { StartAfresh(); }

    // A new synthesizer, with nothing rendered yet.
    void StartAfresh() {
        clocked_.reset();
        applied_.clear();
        sound_.clear();
        OutputSettings settings;
        settings.soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
        made_ = MakeFluidSynth(settings, kRate);
        ASSERT_TRUE(made_.synth) << made_.error;
        clocked_ = std::make_unique<SampleClockedSynth>(made_.synth->Synth(), kRate, kBuffer);
        clocked_->ObserveApplied([this](double due, std::int64_t at) { applied_.push_back({due, at}); });
    }

    // Asks for `periods` periods, as a sound card does; the left channel is kept.
    void Play(int periods) {
        std::vector<float> left(kPeriod), right(kPeriod);
        for (int i = 0; i < periods; ++i) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            float* out[2] = {left.data(), right.data()};
            clocked_->Render(kPeriod, 0, nullptr, 2, out);
            sound_.insert(sound_.end(), left.begin(), left.end());
        }
    }
    std::int64_t FirstSoundingFrame(std::int64_t from = 0) const {
        for (auto i = std::size_t(from); i < sound_.size(); ++i)
            if (std::fabs(sound_[i]) > 1e-4f) return std::int64_t(i);
        return -1;
    }

    SynthMakeResult made_;
    std::unique_ptr<SampleClockedSynth> clocked_;
    std::vector<Applied> applied_;
    std::vector<float> sound_;  // every frame rendered, from the first
};

TEST_F(SampleClockedSynthTest, EachMessageTakesEffectAtTheBlockNearestItsSongTime) {
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        StartAfresh();
        Play(3);  // the card runs before the play begins
        const auto firstFrame = std::int64_t(sound_.size());
        clocked_->BeginPlay(500000, std::chrono::steady_clock::now(), scale);
        const std::vector<std::int64_t> times = {500000, 510000, 600123, 750000, 800000};
        clocked_->Send(times[0], std::vector<std::uint8_t>{0xC0, 0}.data(), 2);
        clocked_->Send(times[1], std::vector<std::uint8_t>{0x90, 60, 110}.data(), 3);
        clocked_->Send(times[2], std::vector<std::uint8_t>{0x91, 64, 100}.data(), 3);
        clocked_->Send(times[3], std::vector<std::uint8_t>{0x80, 60, 0}.data(), 3);
        const std::vector<std::uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
        clocked_->Send(times[4], gsReset.data(), gsReset.size());
        Play(250);

        ASSERT_EQ(applied_.size(), times.size());
        // A play starts a buffer after the frames already rendered.
        EXPECT_GE(applied_[0].due, double(firstFrame + kBuffer));
        EXPECT_LT(applied_[0].due, double(firstFrame + kBuffer + kPeriod));
        for (std::size_t i = 0; i < times.size(); ++i) {
            const double expectedDue = applied_[0].due + double(times[i] - times[0]) * kRate / 1e6 / scale;
            EXPECT_NEAR(applied_[i].due, expectedDue, 1e-6) << i;
            EXPECT_EQ(applied_[i].at % kSynthBlockFrames, 0) << i;
            EXPECT_LE(std::fabs(double(applied_[i].at) - applied_[i].due), kSynthBlockFrames / 2.0) << i;
        }
        // The first note sounds from the block where it took effect, and not before.
        EXPECT_EQ(FirstSoundingFrame() / kSynthBlockFrames, applied_[1].at / kSynthBlockFrames);
    }
}

// A play may begin before the device's first call (the output has just been opened) or after a
// long pause of the device: it starts at most two buffers after what was rendered, not at a guess
// from the clock.
TEST_F(SampleClockedSynthTest, APlayStartsSoonWhateverTheDeviceDidBefore) {
    for (const auto pause : {std::chrono::milliseconds(-1), std::chrono::milliseconds(300)}) {
        StartAfresh();
        if (pause.count() >= 0) {
            Play(2);
            std::this_thread::sleep_for(pause);
        }
        const auto rendered = std::int64_t(sound_.size());
        clocked_->BeginPlay(0, std::chrono::steady_clock::now(), 1.0);
        const std::uint8_t noteOn[3] = {0x90, 60, 110};
        clocked_->Send(0, noteOn, 3);
        Play(30);
        ASSERT_EQ(applied_.size(), 1u) << pause.count();
        EXPECT_GE(applied_[0].due, double(rendered + kBuffer)) << pause.count();
        EXPECT_LE(applied_[0].due, double(rendered + 2 * kBuffer)) << pause.count();
    }
}

TEST_F(SampleClockedSynthTest, ADropLosesTheQueueAndWhatFollowsPlaysAtTheNextBlock) {
    Play(2);
    clocked_->BeginPlay(0, std::chrono::steady_clock::now(), 1.0);
    const std::uint8_t noteOn[3] = {0x90, 60, 110};
    clocked_->Send(100000, noteOn, 3);  // 100 ms ahead
    Play(5);
    clocked_->DropQueued();
    const std::uint8_t allNotesOff[3] = {0xB0, 123, 0};
    clocked_->Send(100000, allNotesOff, 3);  // the song time no longer counts
    const auto rendered = std::int64_t(sound_.size());
    Play(100);

    ASSERT_EQ(applied_.size(), 1u);  // the all notes off alone
    EXPECT_EQ(applied_[0].at, (rendered + kSynthBlockFrames - 1) / kSynthBlockFrames * kSynthBlockFrames);
    EXPECT_EQ(FirstSoundingFrame(), -1);  // the dropped note never sounded
}

}  // namespace
}  // namespace kyro
