// The buffer between the render thread and the audio device, with both running at once as they
// do in the player: every frame the device plays is the one rendered for its place in the stream,
// and after a cut nothing rendered before it is heard past the fade, however the two threads and
// the cuts interleave.
#include "sequencer/aheadbuffer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace kyro {
namespace {

constexpr int kBlock = 64;

TEST(AheadBufferTest, TheDevicePlaysEachFrameInItsPlaceAndNothingFromBeforeACut) {
    AheadBuffer ahead(4096);
    std::atomic<bool> done{false};
    // The render thread marks each frame with its place (left) and the cuts it has taken (right),
    // both plus one so that no mark is silence: a fade scales both alike.
    std::thread renderer([&] {
        float left[kBlock], right[kBlock];
        while (!done.load()) {
            while (ahead.CutPending() && ahead.CutMade()) ahead.TakeCut();
            if (ahead.CutPending() || ahead.FramesAhead() + kBlock > ahead.Capacity() / 2) {
                std::this_thread::yield();
                continue;
            }
            const std::int64_t at = ahead.NextFrameToRender();
            for (int i = 0; i < kBlock; ++i) {
                left[i] = float(at + i + 1);
                right[i] = float(ahead.CutsTaken() + 1);
            }
            ahead.Put(left, right, kBlock);
        }
    });

    // The device asks for periods of various sizes and cuts now and then, as stops come.
    unsigned cutsAsked = 0;
    std::int64_t frame = 0, lastCutAt = -1, heard = 0, stale = 0, misplaced = 0;
    float left[300], right[300];
    for (int call = 0; call < 5000; ++call) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));  // a device waits for its card
        if (call % 97 == 13) {
            ahead.AskCut();
            ++cutsAsked;
            lastCutAt = frame;
        }
        const int frames = 50 + call % 250;
        ahead.Take(left, right, frames);
        for (int i = 0; i < frames; ++i, ++frame) {
            if (left[i] == 0.0f && right[i] == 0.0f) continue;
            ++heard;
            const double cuts = double(right[i]) / double(left[i]) * double(frame + 1) - 1;  // the gain cancels
            if (std::fabs(cuts - std::round(cuts)) > 1e-3) ++misplaced;
            const bool pastTheFade = lastCutAt >= 0 && frame >= lastCutAt + AheadBuffer::kFadeFrames;
            if (pastTheFade && std::lround(cuts) != cutsAsked) ++stale;
        }
    }
    done = true;
    renderer.join();
    EXPECT_GT(heard, frame / 4);  // the renderer kept up often enough for the check to mean something
    EXPECT_EQ(misplaced, 0);
    EXPECT_EQ(stale, 0);
}

}  // namespace
}  // namespace kyro
