#pragma once
// A MidiOutput for tests: records every message with its song time, and every Flush. The engine
// calls it from its own thread while the test reads it, so every access takes the lock and the
// accessors hand out copies.

#include "sequencer/midioutput.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kyro::test {

struct RecordedMessage {
    std::int64_t songTimeUs = 0;
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point arrived;  // when Send was called (for timing checks)
};

struct RecordedFlush {
    std::int64_t songTimeUs = 0;
    std::size_t afterMessages = 0;  // how many messages had arrived before this Flush
};

// The log lives apart from the output so that a test can keep looking at it after the player has
// destroyed the output (RecordingOutput::Log() hands out the shared log).
class RecordingLog {
public:
    std::vector<RecordedMessage> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<RecordedFlush> Flushes() const {
        std::lock_guard lock(mutex_);
        return flushes_;
    }
    std::size_t MessageCount() const {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }
    // Messages whose bytes satisfy the predicate (e.g. note-ons of channel 0).
    std::vector<RecordedMessage> MessagesWhere(
        const std::function<bool(const std::vector<std::uint8_t>&)>& predicate) const {
        std::lock_guard lock(mutex_);
        std::vector<RecordedMessage> out;
        for (const auto& m : messages_)
            if (predicate(m.bytes)) out.push_back(m);
        return out;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
        flushes_.clear();
    }
    bool Destroyed() const {
        std::lock_guard lock(mutex_);
        return destroyed_;
    }

    // Waits until at least count messages arrived; false on timeout.
    bool WaitForMessages(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return messages_.size() >= count; });
    }
    // Waits until at least count flushes arrived; false on timeout.
    bool WaitForFlushes(std::size_t count, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return flushes_.size() >= count; });
    }

    void AddMessage(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) {
        {
            std::lock_guard lock(mutex_);
            messages_.push_back({songTimeUs, std::vector<std::uint8_t>(data, data + size),
                                 std::chrono::steady_clock::now()});
        }
        changed_.notify_all();
    }
    void AddFlush(std::int64_t songTimeUs) {
        {
            std::lock_guard lock(mutex_);
            flushes_.push_back({songTimeUs, messages_.size()});
        }
        changed_.notify_all();
    }
    void MarkDestroyed() {
        {
            std::lock_guard lock(mutex_);
            destroyed_ = true;
        }
        changed_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<RecordedMessage> messages_;
    std::vector<RecordedFlush> flushes_;
    bool destroyed_ = false;
};

class RecordingOutput : public MidiOutput {
public:
    explicit RecordingOutput(std::shared_ptr<RecordingLog> log = std::make_shared<RecordingLog>())
        : log_(std::move(log)) {}
    ~RecordingOutput() override { log_->MarkDestroyed(); }

    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        log_->AddMessage(songTimeUs, data, size);
    }
    void Flush(std::int64_t songTimeUs) override { log_->AddFlush(songTimeUs); }

    const std::shared_ptr<RecordingLog>& Log() const { return log_; }

    // Shortcuts to the log.
    std::vector<RecordedMessage> Messages() const { return log_->Messages(); }
    std::vector<RecordedFlush> Flushes() const { return log_->Flushes(); }

private:
    std::shared_ptr<RecordingLog> log_;
};

// Byte helpers for predicates.
inline bool IsNoteOn(const std::vector<std::uint8_t>& m) {
    return m.size() == 3 && (m[0] & 0xF0) == 0x90 && m[2] != 0;
}
inline bool IsNoteOff(const std::vector<std::uint8_t>& m) {
    return m.size() == 3 && ((m[0] & 0xF0) == 0x80 || ((m[0] & 0xF0) == 0x90 && m[2] == 0));
}
inline bool IsController(const std::vector<std::uint8_t>& m, std::uint8_t number) {
    return m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == number;
}

}  // namespace kyro::test
