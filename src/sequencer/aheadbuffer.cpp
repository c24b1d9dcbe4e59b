#include "sequencer/aheadbuffer.h"

#include <algorithm>
#include <bit>

namespace kyro {

AheadBuffer::AheadBuffer(int capacityFrames)
    : samples_(std::size_t(std::bit_ceil(unsigned(std::max(capacityFrames, 1)))) * 2),
      mask_(std::int64_t(std::bit_ceil(unsigned(std::max(capacityFrames, 1)))) - 1) {}

// ---- The render thread ----------------------------------------------------------------------

std::int64_t AheadBuffer::NextFrameToRender() {
    const std::int64_t rendered = renderedUpTo_.load(std::memory_order_relaxed);
    const std::int64_t device = deviceFrame_.load(std::memory_order_acquire);
    if (rendered >= device) return rendered;
    renderedUpTo_.store(device, std::memory_order_release);  // those frames were played as silence
    return device;
}

std::int64_t AheadBuffer::FramesAhead() const {
    return std::max<std::int64_t>(
        0, renderedUpTo_.load(std::memory_order_relaxed) - deviceFrame_.load(std::memory_order_acquire));
}

bool AheadBuffer::TakeCut() {
    const unsigned made = cutsMade_.load(std::memory_order_acquire);
    if (made == cutsTaken_) return false;
    // Everything after the fade was rendered before the cut: it is rendered again from there.
    const std::int64_t from = std::max(cutEnd_.load(std::memory_order_acquire), deviceFrame_.load(std::memory_order_acquire));
    renderedUpTo_.store(from, std::memory_order_release);
    cutsTaken_ = made;
    cutsTakenShared_.store(made, std::memory_order_release);
    return true;
}

void AheadBuffer::Put(const float* left, const float* right, int frames) {
    const std::int64_t at = renderedUpTo_.load(std::memory_order_relaxed);
    for (int i = 0; i < frames; ++i) {
        float* slot = Slot(at + i);
        slot[0] = left[i];
        slot[1] = right[i];
    }
    renderedUpTo_.store(at + frames, std::memory_order_release);
}

// ---- The device -----------------------------------------------------------------------------

float AheadBuffer::FadeGain(std::int64_t frame) const {
    if (frame < fadeFrom_ || frame >= fadeEnd_) return 1.0f;
    return float(fadeEnd_ - frame) / float(fadeEnd_ - fadeFrom_ + 1);
}

void AheadBuffer::Take(float* left, float* right, int frames) {
    const std::int64_t from = deviceFrame_.load(std::memory_order_relaxed);
    const unsigned asked = cutsAsked_.load(std::memory_order_acquire);
    if (asked != deviceCuts_) {
        // A new cut fades out what is rendered from here. While an earlier one is still being
        // taken, what follows its fade is void already.
        if (cutsTakenShared_.load(std::memory_order_acquire) == deviceCuts_) {
            const std::int64_t rendered = renderedUpTo_.load(std::memory_order_acquire);
            fadeFrom_ = from;
            fadeEnd_ = from + std::clamp<std::int64_t>(rendered - from, 0, kFadeFrames);
            cutEnd_.store(fadeEnd_, std::memory_order_release);
        }
        deviceCuts_ = asked;
        cutsMade_.store(asked, std::memory_order_release);
    }
    const bool cutTaken = cutsTakenShared_.load(std::memory_order_acquire) == deviceCuts_;
    std::int64_t readable = renderedUpTo_.load(std::memory_order_acquire);
    if (!cutTaken) readable = std::min(readable, cutEnd_.load(std::memory_order_relaxed));

    for (int i = 0; i < frames; ++i) {
        const std::int64_t frame = from + i;
        if (frame < readable) {
            const float* slot = Slot(frame);
            const float gain = FadeGain(frame);
            left[i] = slot[0] * gain;
            if (right) right[i] = slot[1] * gain;
        } else {
            left[i] = 0.0f;
            if (right) right[i] = 0.0f;
        }
    }
    if (cutTaken && from + frames > readable) underruns_.fetch_add(1, std::memory_order_relaxed);
    deviceFrame_.store(from + frames, std::memory_order_release);
}

}  // namespace kyro
