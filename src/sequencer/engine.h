#pragma once
// The real-time engine: plays a Song to a MidiOutput on a thread of its own.
//
// Time is kept by an absolute schedule: the event at song time t is due at
// start + (t - from) / clockScale on a monotonic clock, so that late wake-ups never add up to
// drift. The engine sleeps until the next event is due and then sends every event that is due.
//
// Stop is a request that the playing thread reads at once (also in the middle of a long rest);
// the position reached is kept for a later play. A stopped play is silenced: note-offs for the
// notes the engine knows are sounding, then on every channel all notes off (CC 123), sustain off
// (CC 64 = 0) and reset all controllers (CC 121). A play that reaches the end of the song ends
// the notes still held, flushes the output to the song's length and calls its completion.
//
// The engine and its owner share only atomics: the owner calls Play, Stop and WaitForEnd from one
// thread; the completion is called on the engine's thread and must only post a call elsewhere.

#include "sequencer/engineclock.h"
#include "sequencer/midioutput.h"
#include "sequencer/song.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace kyro {

class SequencerEngine {
public:
    using Completion = std::function<void()>;

    // Without a clock the engine plays by std::chrono::steady_clock.
    explicit SequencerEngine(std::unique_ptr<EngineClock> clock = nullptr);
    ~SequencerEngine();  // stops (silencing) and joins the thread
    SequencerEngine(const SequencerEngine&) = delete;
    SequencerEngine& operator=(const SequencerEngine&) = delete;

    // 10 plays ten times faster (tests and benchmarks). Taken by the next Play; values <= 0 mean 1.
    void SetClockScale(double scale);

    // Plays song to output from song time fromUs, after re-sending the channel set-up (programs,
    // controllers, pitch bend, SysEx) found before fromUs. A play under way is stopped first. The
    // output must stay alive until the play has ended (Stop, WaitForEnd or destruction).
    void Play(std::shared_ptr<const Song> song, MidiOutput& output, std::int64_t fromUs,
              Completion onEnd = {});

    // Ends a play under way and silences it. Returns the position reached (song time in µs): the
    // song's length when the play had already reached the end.
    std::int64_t Stop();

    // Blocks until the play under way reaches the end of the song (or is stopped).
    void WaitForEnd();

    bool IsPlaying() const { return playing_.load(); }

    // Where the play under way stands, as heard (the output's latency taken off), in song time
    // (µs); with none under way, where the last one ended. Called from the owner's thread.
    std::int64_t PositionUs() const;

    // When the play under way started, i.e. when song time fromUs was due (for timing checks).
    EngineClock::TimePoint StartedAt() const;

private:
    void Run(std::shared_ptr<const Song> song, MidiOutput* output, std::int64_t fromUs, double scale,
             Completion onEnd);
    void Join();

    std::unique_ptr<EngineClock> clock_;
    double clockScale_ = 1.0;
    std::thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> playing_{false};
    std::atomic<std::int64_t> positionUs_{0};   // written by the thread, read after it has ended
    std::atomic<EngineClock::TimePoint::rep> startedAt_{0};
    // The play under way as its thread times it, for PositionUs: set before timing_ turns true,
    // which it stays until positionUs_ holds where the play ended.
    std::atomic<bool> timing_{false};
    std::atomic<std::int64_t> timedFromUs_{0};
    std::atomic<std::int64_t> timedLengthUs_{0};
    std::atomic<double> timedScale_{1.0};
};

}  // namespace kyro
