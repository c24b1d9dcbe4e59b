#pragma once
// FIFOs in a user's folder, and a time limit for what must not wait on one: a program that opens
// a FIFO for reading without O_NONBLOCK waits for a writer that never comes. When the work has not
// returned in time, each FIFO's other end is opened once (which lets a waiting open go on, and a
// read then ends), so that the test fails instead of hanging.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kyro::test {

inline bool MakeFifo(const std::string& nativePath) { return ::mkfifo(nativePath.c_str(), 0600) == 0; }

// Runs `work` on this thread; false when it had to be released from a FIFO.
template <typename Work>
bool FinishesWithoutWaiting(const std::vector<std::string>& fifos, Work work,
                            std::chrono::seconds limit = std::chrono::seconds(20)) {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false, released = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (done.wait_for(lock, limit, [&] { return finished; })) return;
        released = true;
        for (const std::string& fifo : fifos) ::close(::open(fifo.c_str(), O_RDWR | O_NONBLOCK));
    });
    work();
    {
        std::lock_guard lock(mutex);
        finished = true;
    }
    done.notify_one();
    watchdog.join();
    return !released;
}

}  // namespace kyro::test
