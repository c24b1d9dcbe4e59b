#include "sequencer/cardposition.h"

namespace kyro {

namespace {

// Long enough to hold many calls on time (a period is a few milliseconds), short enough that after
// an underrun, which moves the whole stream later, the old anchor is soon gone.
constexpr std::int64_t kRenewNs = 100'000'000;

std::int64_t Nanoseconds(CardPosition::Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

}  // namespace

void CardPosition::Observe(Clock::time_point now, std::int64_t frame) {
    const Anchor seen{Nanoseconds(now), double(frame - bufferFrames_), true};
    auto keepBetter = [&](Anchor& anchor) {
        if (!anchor.set || seen.frame >= Project(anchor, seen.ns)) anchor = seen;
    };
    keepBetter(best_);
    keepBetter(gathering_);
    if (!gatheringSinceNs_) gatheringSinceNs_ = seen.ns;
    if (seen.ns - gatheringSinceNs_ >= kRenewNs) {
        best_ = gathering_;
        gathering_ = seen;
        gatheringSinceNs_ = seen.ns;
    }
    Publish(best_);
}

void CardPosition::Publish(const Anchor& anchor) {
    const unsigned sequence = sequence_.load(std::memory_order_relaxed);
    sequence_.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    publishedNs_.store(anchor.ns, std::memory_order_relaxed);
    publishedFrame_.store(anchor.frame, std::memory_order_relaxed);
    sequence_.store(sequence + 2, std::memory_order_release);
}

std::optional<double> CardPosition::HeardFrameAt(Clock::time_point when) const {
    Anchor anchor;
    for (;;) {
        const unsigned before = sequence_.load(std::memory_order_acquire);
        anchor.ns = publishedNs_.load(std::memory_order_relaxed);
        anchor.frame = publishedFrame_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && sequence_.load(std::memory_order_relaxed) == before) break;
    }
    if (sequence_.load(std::memory_order_relaxed) == 0) return std::nullopt;
    return Project(anchor, Nanoseconds(when));
}

}  // namespace kyro
