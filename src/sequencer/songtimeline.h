#pragma once
// The player keeps one output across songs, but every song's times start at 0. The timeline puts
// each song after everything the output has seen so far, so that an output that renders by song
// time (the WAV file) records the songs one after another instead of on top of each other. Live
// outputs ignore the times and are not affected.

#include "sequencer/midioutput.h"

#include <algorithm>

namespace kyro {

class SongTimeline : public MidiOutput {
public:
    explicit SongTimeline(MidiOutput& target) : target_(target) {}

    // The next song starts where the output's time has got to. Called while nothing plays.
    void StartSong() { offsetUs_ = reachedUs_; }

    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        target_.Send(Advance(songTimeUs), data, size);
    }
    void Flush(std::int64_t songTimeUs) override { target_.Flush(Advance(songTimeUs)); }
    std::chrono::microseconds Lookahead() const override { return target_.Lookahead(); }
    std::chrono::microseconds Latency() const override { return target_.Latency(); }
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override {
        target_.BeginPlay(offsetUs_ + fromUs, start, scale);
    }
    void DropQueued() override { target_.DropQueued(); }
    std::string Finish() override { return target_.Finish(); }

private:
    std::int64_t Advance(std::int64_t songTimeUs) {
        const std::int64_t t = offsetUs_ + songTimeUs;
        reachedUs_ = std::max(reachedUs_, t);
        return t;
    }

    MidiOutput& target_;
    std::int64_t offsetUs_ = 0;
    std::int64_t reachedUs_ = 0;
};

}  // namespace kyro
