#pragma once
// A sound card's clock, for measuring what a listener hears. The card plays its stream period by
// period by the wall clock; it holds `periods` periods, so the driver's write of the next period
// returns as soon as one period's room is free. A period written after the card has played
// everything before it is an underrun: the card played silence meanwhile, and this period and
// everything after it come that much later.
//
// Frames are numbered in the stream's order from 0 (the first frame written).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace kyro::bench {

class CardTimeline {
public:
    using Clock = std::chrono::steady_clock;

    CardTimeline(double sampleRate, int periodFrames, int periods, std::size_t maxPeriods)
        : period_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(periodFrames / sampleRate))),
          periodFrames_(periodFrames),
          periods_(periods),
          rate_(sampleRate) {
        startOfPeriod_.reserve(maxPeriods);
    }

    // When the driver's write of the next period returns: the card has room for it.
    Clock::time_point RoomAt() const {
        if (startOfPeriod_.empty()) return Clock::time_point::min();
        return EndOfWritten() - (periods_ - 1) * period_;
    }

    // The next period is written at `at`.
    void Write(Clock::time_point at) {
        Clock::time_point start = at;
        if (!startOfPeriod_.empty()) {
            const Clock::time_point end = EndOfWritten();
            if (at > end) {
                ++underruns_;
                silence_ += at - end;
            } else {
                start = end;
            }
        }
        if (startOfPeriod_.size() < startOfPeriod_.capacity()) startOfPeriod_.push_back(start);
    }

    // When the card plays `frame`; a frame not written yet is never.
    Clock::time_point PlayedAt(std::int64_t frame) const {
        const auto index = std::size_t(frame / periodFrames_);
        if (frame < 0 || index >= startOfPeriod_.size()) return Clock::time_point::max();
        return startOfPeriod_[index] +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>((frame % periodFrames_) / rate_));
    }

    std::int64_t FramesWritten() const { return std::int64_t(startOfPeriod_.size()) * periodFrames_; }
    long Underruns() const { return underruns_; }
    Clock::duration Silence() const { return silence_; }

private:
    Clock::time_point EndOfWritten() const { return startOfPeriod_.back() + period_; }

    const Clock::duration period_;
    const int periodFrames_;
    const int periods_;
    const double rate_;
    std::vector<Clock::time_point> startOfPeriod_;
    long underruns_ = 0;
    Clock::duration silence_{};
};

}  // namespace kyro::bench
