#pragma once
// The time the engine plays by. The real one is the monotonic clock of the machine; tests give the
// engine a clock they move by hand, so that they step through a song without sleeping.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kyro {

class EngineClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~EngineClock() = default;

    virtual TimePoint Now() = 0;

    // Returns when Now() has reached the deadline, or earlier once cancel is true and Interrupt()
    // was called (or spuriously: the engine checks the time again after every return).
    virtual void SleepUntil(TimePoint deadline, const std::atomic<bool>& cancel) = 0;

    // Wakes a SleepUntil whose cancel flag has just been set. Setting the flag before this call
    // is enough for the sleeper never to miss it.
    virtual void Interrupt() = 0;
};

// std::chrono::steady_clock. A condition variable wait overshoots by the timer slack and the
// scheduler's wake-up latency; the clock therefore wakes a little early and spins the last
// fraction of a millisecond away, which keeps onsets within some tens of microseconds for a few
// hundred microseconds of CPU time per wake-up.
class SteadyEngineClock : public EngineClock {
public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    void SleepUntil(TimePoint deadline, const std::atomic<bool>& cancel) override;
    void Interrupt() override;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
};

}  // namespace kyro
