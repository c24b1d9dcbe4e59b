#pragma once
// Sound rendered ahead of the audio device. A jukebox has no live input, so the synthesizer's
// render thread may work well ahead of the card: a loaded desktop that holds the thread up for
// tens of milliseconds then empties this buffer a little instead of the card's. The device's
// callback only copies out of it, without locks, waits or allocations (the rules of real-time
// audio callbacks).
//
// Frames are numbered from the device's first call: frame n is the n-th frame the device is
// handed, whatever happened before it, so a frame's number is its place in the card's stream.
// When the buffer has run dry the device plays silence for the frames not yet rendered and the
// renderer skips them: the stream keeps its clock, and what was due there comes late.
//
// A cut (stop, pause, skip) must be heard at once although a good part of a second is buffered:
// the device fades out over a few milliseconds from where it is and drops the rest; the renderer
// then goes on from the end of the fade. Until the renderer has taken the cut, the device plays
// silence rather than anything rendered before it.
//
// One thread renders (Put and the render-side calls), one thread is the device (Take); AskCut
// may come from any thread.

#include <atomic>
#include <cstdint>
#include <vector>

namespace kyro {

class AheadBuffer {
public:
    // How long the fade of a cut lasts: short enough to be heard as a stop, long enough not to click.
    static constexpr int kFadeFrames = 220;  // 5 ms at 44.1 kHz

    // Room for capacityFrames stereo frames (rounded up to a power of two).
    explicit AheadBuffer(int capacityFrames);

    // ---- The render thread.
    // The frame the next Put is for. Behind the device (the buffer ran dry) it moves up to the
    // device's frame, so that nothing is rendered for frames already played as silence.
    std::int64_t NextFrameToRender();
    // Frames rendered and not yet taken by the device.
    std::int64_t FramesAhead() const;
    // Frames before this one are rendered (any thread may ask).
    std::int64_t RenderedUpTo() const { return renderedUpTo_.load(std::memory_order_acquire); }
    int Capacity() const { return int(mask_ + 1); }
    // A cut was asked for and the renderer has not taken it yet: nothing may be rendered, since
    // it would play after the cut.
    bool CutPending() const { return cutsAsked_.load(std::memory_order_acquire) != cutsTaken_; }
    // The device has made a cut (faded out) that the renderer has not taken yet.
    bool CutMade() const { return cutsMade_.load(std::memory_order_acquire) != cutsTaken_; }
    // Takes the cuts the device has made: rendering goes on after the fade. True when there was one.
    bool TakeCut();
    // How many cuts have been taken so far.
    unsigned CutsTaken() const { return cutsTaken_; }
    // Stores frames for NextFrameToRender() on; the buffer must have room (FramesAhead() +
    // frames <= Capacity()).
    void Put(const float* left, const float* right, int frames);

    // ---- Any thread.
    void AskCut() { cutsAsked_.fetch_add(1, std::memory_order_acq_rel); }

    // ---- The device's callback.
    // The next `frames` frames of the stream into left and right (right may be null: a mono
    // device); what is not rendered yet is silence (and counts as an underrun).
    void Take(float* left, float* right, int frames);
    // The frame the device asks for next.
    std::int64_t DeviceFrame() const { return deviceFrame_.load(std::memory_order_acquire); }
    // Calls of Take that found the buffer short outside a cut.
    long Underruns() const { return underruns_.load(std::memory_order_relaxed); }

private:
    float* Slot(std::int64_t frame) { return &samples_[std::size_t(frame & mask_) * 2]; }
    float FadeGain(std::int64_t frame) const;

    std::vector<float> samples_;  // interleaved left, right
    std::int64_t mask_;

    std::atomic<std::int64_t> renderedUpTo_{0};  // written by the renderer: frames before it are rendered
    std::atomic<std::int64_t> deviceFrame_{0};   // written by the device
    std::atomic<long> underruns_{0};

    std::atomic<unsigned> cutsAsked_{0};
    std::atomic<unsigned> cutsMade_{0};    // by the device: the last cut it has faded
    std::atomic<std::int64_t> cutEnd_{0};  // by the device: where its fade ends; what follows is void
    std::atomic<unsigned> cutsTakenShared_{0};  // by the renderer, for the device
    unsigned cutsTaken_ = 0;               // the renderer's own copy

    // The device's own.
    unsigned deviceCuts_ = 0;
    std::int64_t fadeFrom_ = 0, fadeEnd_ = 0;
};

}  // namespace kyro
