#include "sequencer/sampleclockedsynth.h"

#include "sequencer/fluidsynthsynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kyro {

SampleClockedSynth::SampleClockedSynth(fluid_synth_t* synth, double sampleRate, int bufferFrames)
    : synth_(synth), sampleRate_(sampleRate), bufferFrames_(bufferFrames) {}

void SampleClockedSynth::Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    Queued message{};
    if (size <= sizeof message.bytes) {
        std::memcpy(message.bytes, data, size);
        message.size = std::uint8_t(size);
    } else {
        message.sysex.assign(data, data + size);
    }
    std::lock_guard lock(mutex_);
    message.frame = playing_ ? playStartFrame_ + double(songTimeUs - playFromUs_) * framesPerSongUs_
                             : -std::numeric_limits<double>::infinity();
    queue_.push_back(std::move(message));  // the engine sends in time order
}

void SampleClockedSynth::BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) {
    std::lock_guard lock(mutex_);
    // The frame the device renders when the steady clock reads `start`, from its last call (never
    // one already rendered), and a buffer later. A device that has not asked yet, or not for a
    // while (a paused sound server), goes on from where it was: the guess reaches a buffer at most.
    const double sinceLastRender =
        renderedFrames_ == 0 ? 0.0 : std::chrono::duration<double>(start - lastRenderAt_).count();
    const double guessed = std::clamp(sinceLastRender * sampleRate_, 0.0, double(bufferFrames_));
    playStartFrame_ = std::max(double(framesAtLastRender_) + guessed, double(renderedFrames_)) + bufferFrames_;
    playFromUs_ = fromUs;
    framesPerSongUs_ = sampleRate_ / 1e6 / (scale > 0 ? scale : 1.0);
    playing_ = true;
}

void SampleClockedSynth::DropQueued() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    playing_ = false;
}

// On the device's thread, with the lock held: every message whose time lies nearer to this block
// than to the next is applied now, so that none is more than half a block from its frame.
void SampleClockedSynth::ApplyDueBefore(std::int64_t blockStart) {
    const double limit = double(blockStart) + kSynthBlockFrames / 2.0;
    while (!queue_.empty() && queue_.front().frame < limit) {
        const Queued& message = queue_.front();
        if (message.sysex.empty())
            PlayOnSynth(synth_, message.bytes, message.size);
        else
            PlayOnSynth(synth_, message.sysex.data(), message.sysex.size());
        if (observer_) observer_(message.frame, blockStart);
        queue_.pop_front();
    }
}

void SampleClockedSynth::RenderBlockPart(int offset, int frames, int nfx, float* fx[], int nout, float* out[]) {
    constexpr int kMaxBuffers = 16;
    float* outAt[kMaxBuffers];
    float* fxAt[kMaxBuffers];
    nout = std::min(nout, kMaxBuffers);
    for (int i = 0; i < nout; ++i) outAt[i] = out[i] + offset;
    if (nfx == 0 && nout >= 2) {
        // Devices without effect buffers get reverb and chorus mixed into the dry sound.
        nfx = 4;
        for (int i = 0; i < nfx; ++i) fxAt[i] = outAt[i % 2];
    } else {
        nfx = std::min(nfx, kMaxBuffers);
        for (int i = 0; i < nfx; ++i) fxAt[i] = fx[i] + offset;
    }
    fluid_synth_process(synth_, frames, nfx, fxAt, nout, outAt);
}

int SampleClockedSynth::Render(int len, int nfx, float* fx[], int nout, float* out[]) {
    std::lock_guard lock(mutex_);
    lastRenderAt_ = std::chrono::steady_clock::now();
    framesAtLastRender_ = renderedFrames_;
    // The synthesizer renders whole blocks from its first frame on; a message applied between two
    // calls takes effect at the next block boundary, so the calls are cut there.
    for (int done = 0; done < len;) {
        const int intoBlock = int(renderedFrames_ % kSynthBlockFrames);
        if (intoBlock == 0) ApplyDueBefore(renderedFrames_);
        const int frames = std::min(len - done, kSynthBlockFrames - intoBlock);
        RenderBlockPart(done, frames, nfx, fx, nout, out);
        done += frames;
        renderedFrames_ += frames;
    }
    return FLUID_OK;
}

}  // namespace kyro
