#pragma once
// Plays MIDI messages on a FluidSynth synthesizer at the sample frame they are due, by the audio
// device's own clock: the engine hands messages over ahead of time, they wait in a queue, and the
// device's thread applies each one just before it renders the block of 64 frames nearest to its
// time. The sound's timing then no longer depends on the engine's thread waking on time; only a
// message handed over later than its frame is late.
//
// The engine's steady clock and the device's sample clock are tied together once per play (when
// the play begins); over one song they drift apart by the device clock's error (some tens of
// parts per million), which the lookahead absorbs.

#include "sequencer/midioutput.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

typedef struct _fluid_synth_t fluid_synth_t;

namespace kyro {

// FluidSynth renders in blocks of this many frames; a message takes effect at a block's start.
inline constexpr int kSynthBlockFrames = 64;

class SampleClockedSynth : public MidiOutput {
public:
    // How early the engine hands messages over: far more than a loaded machine (or a virtual
    // machine whose host is busy) holds up a waking thread, and unnoticed by a listener, since a
    // stop drops the queue and a play starts at once.
    static constexpr std::chrono::milliseconds kLookahead{200};

    // `bufferFrames`: how far the device renders ahead of what it plays (its periods). A play
    // starts that far after the frame being rendered when it begins, so that its first messages
    // are in time even while the device fills its buffer.
    SampleClockedSynth(fluid_synth_t* synth, double sampleRate, int bufferFrames);

    // MidiOutput, on the engine's thread.
    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override;
    std::chrono::microseconds Lookahead() const override { return kLookahead; }
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override;
    void DropQueued() override;

    // The audio device's callback (FluidSynth's fluid_audio_func_t): renders len frames, applying
    // the messages that fall on them. The buffers have been zeroed by the device.
    int Render(int len, int nfx, float* fx[], int nout, float* out[]);

    // For timing checks: called on the device's thread for every message applied, with the frame
    // its time falls on and the frame of the block where it took effect. Set before playing.
    using AppliedObserver = std::function<void(double dueFrame, std::int64_t appliedFrame)>;
    void ObserveApplied(AppliedObserver observer) { observer_ = std::move(observer); }

private:
    struct Queued {
        double frame;                     // where its time falls; -inf: at the next block
        std::uint8_t bytes[3];            // a channel message
        std::uint8_t size;
        std::vector<std::uint8_t> sysex;  // or a SysEx F0 ... F7
    };
    void ApplyDueBefore(std::int64_t frame);
    void RenderBlockPart(int offset, int frames, int nfx, float* fx[], int nout, float* out[]);

    fluid_synth_t* synth_;
    const double sampleRate_;
    const int bufferFrames_;
    AppliedObserver observer_;

    std::mutex mutex_;  // everything below; also orders the synthesizer's calls from both threads
    std::deque<Queued> queue_;
    std::int64_t renderedFrames_ = 0;
    std::chrono::steady_clock::time_point lastRenderAt_{};  // when the device last asked for frames
    std::int64_t framesAtLastRender_ = 0;
    bool playing_ = false;  // messages are placed by song time; else they play at the next block
    std::int64_t playFromUs_ = 0;
    double playStartFrame_ = 0;
    double framesPerSongUs_ = 0;
};

}  // namespace kyro
