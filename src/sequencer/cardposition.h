#pragma once
// Which frame of the device's stream the sound card plays at a given moment, worked out from the
// device's calls. An audio driver asks for the next period as soon as the card has room for it,
// and then holds a full buffer: the first frame of a period asked for at time t is heard about a
// buffer after t. A call that comes late (the driver's thread was held up) finds less than a full
// buffer and would make the card look behind, so the estimate keeps the most advanced of the
// recent calls; it is renewed every tenth of a second, so that it follows the card after an underrun
// (which moves the whole stream later) and the card's own clock, which drifts
// from the machine's by some parts per million.
//
// The device's thread calls Observe; any thread calls HeardFrameAt. Neither waits nor allocates.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace kyro {

class CardPosition {
public:
    using Clock = std::chrono::steady_clock;

    CardPosition(double sampleRate, int bufferFrames) : rate_(sampleRate), bufferFrames_(bufferFrames) {}

    // The device asks for frames from `frame` on at `now`.
    void Observe(Clock::time_point now, std::int64_t frame);

    // The frame heard at `when`; none before the device's first call.
    std::optional<double> HeardFrameAt(Clock::time_point when) const;

private:
    struct Anchor {
        std::int64_t ns = 0;  // steady clock
        double frame = 0;     // heard at that moment
        bool set = false;
    };
    double Project(const Anchor& anchor, std::int64_t ns) const { return anchor.frame + double(ns - anchor.ns) * rate_ / 1e9; }
    void Publish(const Anchor& anchor);

    const double rate_;
    const int bufferFrames_;

    // The device's own: the best anchor of the current second and of the one being gathered.
    Anchor best_, gathering_;
    std::int64_t gatheringSinceNs_ = 0;

    // Published with a sequence count: odd while being written.
    std::atomic<unsigned> sequence_{0};
    std::atomic<std::int64_t> publishedNs_{0};
    std::atomic<double> publishedFrame_{0};
};

}  // namespace kyro
