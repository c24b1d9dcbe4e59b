#include "sequencer/sampleclockedsynth.h"

#include "sequencer/fluidsynthsynth.h"
#include "sequencer/realtimethread.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kyro {

namespace {

// How often the render thread looks whether the device has taken sound: a small part of kAhead.
constexpr auto kRenderPoll = std::chrono::milliseconds(4);

// The buffer holds what is kept ahead and what one late look lets the device take meanwhile.
constexpr int kAheadCapacityFactor = 2;

int FramesOf(std::chrono::milliseconds ms, double rate) {
    const int frames = int(std::lround(double(ms.count()) * rate / 1000.0));
    return (frames + kSynthBlockFrames - 1) / kSynthBlockFrames * kSynthBlockFrames;
}

}  // namespace

SampleClockedSynth::SampleClockedSynth(fluid_synth_t* synth, double sampleRate, int deviceBufferFrames,
                                       std::chrono::milliseconds ahead)
    : synth_(synth),
      sampleRate_(sampleRate),
      deviceBufferFrames_(deviceBufferFrames),
      aheadFrames_(std::max(FramesOf(ahead, sampleRate), kSynthBlockFrames)),
      ahead_(kAheadCapacityFactor * aheadFrames_),
      card_(sampleRate, deviceBufferFrames) {}

SampleClockedSynth::~SampleClockedSynth() { StopRenderThread(); }

// ---- The engine's side ----------------------------------------------------------------------

std::chrono::microseconds SampleClockedSynth::Latency() const {
    // What is rendered ahead, what the device holds, and a few blocks for the renderer at work.
    const int frames = aheadFrames_ + deviceBufferFrames_ + 4 * kSynthBlockFrames;
    return std::chrono::microseconds(std::llround(double(frames) * 1e6 / sampleRate_));
}

void SampleClockedSynth::Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    Queued message{};
    message.songTimeUs = songTimeUs;
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
    // The frame the card plays at `start`, but never one rendered already (or being rendered):
    // its messages would come late. Before the device's first call, the first frame free; a
    // device that has stopped calling for a while (a paused sound server) goes on from where it
    // stopped, not from a guess by the clock.
    const double firstFree = double(ahead_.RenderedUpTo() + kSynthBlockFrames);
    const double latestLikely = double(ahead_.DeviceFrame()) + double(Latency().count()) * sampleRate_ / 1e6;
    const double heard = std::min(card_.HeardFrameAt(start).value_or(firstFree), latestLikely);
    playStartFrame_ = std::max(heard, firstFree);
    playFromUs_ = fromUs;
    framesPerSongUs_ = sampleRate_ / 1e6 / (scale > 0 ? scale : 1.0);
    playing_ = true;
}

void SampleClockedSynth::DropQueued() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        playing_ = false;
    }
    ahead_.AskCut();
    wake_.notify_all();
}

// ---- The render side ------------------------------------------------------------------------

void SampleClockedSynth::StartRenderThread() {
    ending_ = false;
    renderThread_ = std::thread(&SampleClockedSynth::RunRenderThread, this);
}

void SampleClockedSynth::StopRenderThread() {
    {
        std::lock_guard lock(wakeMutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (renderThread_.joinable()) renderThread_.join();
}

void SampleClockedSynth::RunRenderThread() {
    pthread_setname_np(pthread_self(), "kyro-synth");
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    MakeThisThreadRealtime(kSynthRenderRealtimePriority);
    std::unique_lock lock(wakeMutex_);
    while (!ending_) {
        lock.unlock();
        RaiseDeviceThread();
        RenderAhead();
        lock.lock();
        wake_.wait_for(lock, kRenderPoll);
    }
}

// The audio library's thread may have been refused the real-time scheduling it asked for (an
// ordinary user has no limit for it); it is asked again the way the engine asks, RealtimeKit
// included. It only copies, so it must never wait behind the machine's other work.
void SampleClockedSynth::RaiseDeviceThread() {
    const int device = deviceThread_.load(std::memory_order_relaxed);
    if (device == 0 || device == raisedDeviceThread_) return;
    raisedDeviceThread_ = device;
    MakeThreadRealtime(device, kAudioDeviceRealtimePriority);
}

void SampleClockedSynth::RenderAhead() {
    while (ahead_.CutPending()) {
        if (!ahead_.CutMade()) return;  // the device has not faded out yet
        Hush();
        ahead_.TakeCut();
    }
    while (ahead_.FramesAhead() + kSynthBlockFrames <= aheadFrames_ && !ahead_.CutPending()) RenderBlock();
}

// What was sounding is in the device's fade; nothing of it may ring on after. The voices end at
// once; the reverb and chorus would ring on for a second or more, so their tails are rendered
// away (no voice sounds: a few milliseconds of work) before anything new is rendered.
void SampleClockedSynth::Hush() {
    fluid_synth_all_sounds_off(synth_, -1);
    constexpr float kSilent = 1e-5f;              // -100 dB
    constexpr int kQuietBlocks = 16;              // that long below it
    const int maxBlocks = int(3 * sampleRate_) / kSynthBlockFrames;  // and never more than 3 s
    int quiet = 0;
    for (int block = 0; block < maxBlocks && quiet < kQuietBlocks; ++block) {
        float left[kSynthBlockFrames] = {}, right[kSynthBlockFrames] = {};
        ProcessBlock(left, right);
        float peak = 0;
        for (int i = 0; i < kSynthBlockFrames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        quiet = peak < kSilent ? quiet + 1 : 0;
    }
}

void SampleClockedSynth::ProcessBlock(float* left, float* right) {
    float* out[2] = {left, right};
    float* fx[4] = {left, right, left, right};  // reverb and chorus mixed into the dry sound
    fluid_synth_process(synth_, kSynthBlockFrames, 4, fx, 2, out);
}

// With the lock held: every message whose time lies nearer to this block than to the next is
// applied now, so that none is more than half a block from its frame.
void SampleClockedSynth::ApplyDueBefore(std::int64_t blockStart) {
    const double limit = double(blockStart) + kSynthBlockFrames / 2.0;
    while (!queue_.empty() && queue_.front().frame < limit) {
        const Queued& message = queue_.front();
        if (message.sysex.empty())
            PlayOnSynth(synth_, message.bytes, message.size);
        else
            PlayOnSynth(synth_, message.sysex.data(), message.sysex.size());
        if (observer_) observer_(message.songTimeUs, message.frame, blockStart);
        queue_.pop_front();
    }
}

void SampleClockedSynth::RenderBlock() {
    const std::int64_t blockStart = ahead_.NextFrameToRender();
    {
        std::lock_guard lock(mutex_);
        ApplyDueBefore(blockStart);
    }
    float left[kSynthBlockFrames] = {}, right[kSynthBlockFrames] = {};
    ProcessBlock(left, right);
    ahead_.Put(left, right, kSynthBlockFrames);
}

// ---- The device's callback ------------------------------------------------------------------

int SampleClockedSynth::Render(int len, int nfx, float* fx[], int nout, float* out[]) {
    (void)nfx, (void)fx;
    if (deviceThread_.load(std::memory_order_relaxed) == 0)
        deviceThread_.store(int(syscall(SYS_gettid)), std::memory_order_relaxed);
    card_.Observe(std::chrono::steady_clock::now(), ahead_.DeviceFrame());
    if (nout < 1) return FLUID_OK;
    ahead_.Take(out[0], nout > 1 ? out[1] : nullptr, len);
    return FLUID_OK;
}

}  // namespace kyro
