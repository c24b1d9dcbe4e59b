#pragma once
// An engine clock that only moves when the test moves it, so that engine tests step through a
// song exactly and never sleep. The test sees when the engine is asleep and until when.

#include "sequencer/engineclock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace kyro::test {

class ManualClock : public EngineClock {
public:
    TimePoint Now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }

    void SleepUntil(TimePoint deadline, const std::atomic<bool>& cancel) override {
        std::unique_lock lock(mutex_);
        sleeping_ = true;
        deadline_ = deadline;
        changed_.notify_all();
        changed_.wait(lock, [&] { return cancel.load() || now_ >= deadline; });
        sleeping_ = false;
    }

    void Interrupt() override {
        { std::lock_guard lock(mutex_); }
        changed_.notify_all();
    }

    void Advance(std::chrono::microseconds step) {
        {
            std::lock_guard lock(mutex_);
            now_ += step;
        }
        changed_.notify_all();
    }
    void AdvanceTo(TimePoint t) {
        {
            std::lock_guard lock(mutex_);
            if (t > now_) now_ = t;
        }
        changed_.notify_all();
    }

    // Moves the time without waking the engine: a sleeper that the scheduler wakes late.
    void AdvanceQuietlyTo(TimePoint t) {
        std::lock_guard lock(mutex_);
        if (t > now_) now_ = t;
    }

    // Waits until the engine is asleep until a time still to come, and returns that time; nothing
    // when the engine does not fall asleep (it has ended, or is stuck) within the timeout.
    std::optional<TimePoint> WaitForSleep(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [&] { return sleeping_ && deadline_ > now_; })) return std::nullopt;
        return deadline_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    TimePoint now_ = TimePoint(std::chrono::hours(1000));
    TimePoint deadline_;
    bool sleeping_ = false;
};

}  // namespace kyro::test
