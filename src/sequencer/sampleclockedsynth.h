#pragma once
// Plays MIDI messages on a FluidSynth synthesizer at the sample frame they are due, by the audio
// device's own clock, with sound rendered well ahead of the card:
//
//   engine --Send, ahead of time--> queue --render thread, block by block--> AheadBuffer
//          --device's callback, copying only--> sound card
//
// The engine hands messages over a lookahead before they are heard; the render thread applies
// each one just before it renders the block of 64 frames nearest to its frame, and keeps kAhead
// of sound ready for the device. The sound's timing then depends neither on the engine's thread
// waking on time nor on the render thread being scheduled within a period; only a thread held up
// for longer than the lookahead (engine) or kAhead (renderer) shows.
//
// A play begun at `start` is heard from `start` on: the engine starts its clock Latency() after
// asking, and the play's first frame is the one the card plays then (cardposition.h). A stop
// (DropQueued) cuts what is buffered with a short fade, so that it is heard at once.

#include "sequencer/aheadbuffer.h"
#include "sequencer/cardposition.h"
#include "sequencer/midioutput.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _fluid_synth_t fluid_synth_t;

namespace kyro {

// FluidSynth renders in blocks of this many frames; a message takes effect at a block's start.
inline constexpr int kSynthBlockFrames = 64;

class SampleClockedSynth : public MidiOutput {
public:
    // Sound kept rendered ahead of the device: far more than a loaded desktop holds up a thread
    // at normal scheduling (bench/sequencer_bench.cpp), and no longer than a press of PLAY may
    // take to be heard.
    static constexpr std::chrono::milliseconds kAhead{150};
    // How much earlier than that the engine hands messages over: what its thread may be late.
    static constexpr std::chrono::milliseconds kEngineMargin{200};

    // `deviceBufferFrames`: what the device holds beyond what it asks for (its periods). `ahead`:
    // the sound kept rendered (at least a block; benchmarks compare).
    SampleClockedSynth(fluid_synth_t* synth, double sampleRate, int deviceBufferFrames,
                       std::chrono::milliseconds ahead = kAhead);
    ~SampleClockedSynth() override;

    // The live output renders on a thread of its own; tests call RenderAhead themselves.
    void StartRenderThread();
    void StopRenderThread();  // before the synthesizer goes

    // MidiOutput, on the engine's thread.
    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override;
    std::chrono::microseconds Lookahead() const override { return Latency() + kEngineMargin; }
    std::chrono::microseconds Latency() const override;
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override;
    void DropQueued() override;

    // The render side: renders until kAhead of sound lies ready, or a cut waits for the device.
    void RenderAhead();

    // The audio device's callback (FluidSynth's fluid_audio_func_t): copies len frames of what is
    // rendered. The buffers have been zeroed by the device.
    int Render(int len, int nfx, float* fx[], int nout, float* out[]);

    // Calls of the device that found less sound ready than it asked for.
    long Underruns() const { return ahead_.Underruns(); }

    // For timing checks: called on the render thread for every message applied, with its song
    // time, the frame its time falls on and the frame of the block where it took effect (frames of
    // the device's stream). Set before playing.
    using AppliedObserver = std::function<void(std::int64_t songTimeUs, double dueFrame, std::int64_t appliedFrame)>;
    void ObserveApplied(AppliedObserver observer) { observer_ = std::move(observer); }

private:
    struct Queued {
        double frame;                     // where its time falls; -inf: at the next block
        std::int64_t songTimeUs;
        std::uint8_t bytes[3];            // a channel message
        std::uint8_t size;
        std::vector<std::uint8_t> sysex;  // or a SysEx F0 ... F7
    };
    void ApplyDueBefore(std::int64_t blockStart);
    void RenderBlock();
    void ProcessBlock(float* left, float* right);  // one block of the synthesizer, effects mixed in
    void Hush();
    void RunRenderThread();
    void RaiseDeviceThread();

    fluid_synth_t* synth_;
    const double sampleRate_;
    const int deviceBufferFrames_;
    const int aheadFrames_;
    AppliedObserver observer_;
    AheadBuffer ahead_;
    CardPosition card_;

    std::mutex mutex_;  // the queue and the play's placement
    std::deque<Queued> queue_;
    bool playing_ = false;  // messages are placed by song time; else they play at the next block
    std::int64_t playFromUs_ = 0;
    double playStartFrame_ = 0;
    double framesPerSongUs_ = 0;

    // The render thread, woken early by a stop and by its end.
    std::thread renderThread_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool ending_ = false;
    std::atomic<int> deviceThread_{0};  // the device's kernel thread id, once it has called
    int raisedDeviceThread_ = 0;
};

}  // namespace kyro
