#pragma once
// The memory a running process holds, as the kernel counts it in /proc/PID/smaps_rollup, and the
// same figures once the process has settled (its start-up over, nothing more being loaded).

#include "processes.h"

#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace kyro::bench {

struct ResidentMemory {
    long rssKiB = 0;      // pages in memory, shared ones counted whole
    long pssKiB = 0;      // shared pages divided among the processes that map them
    long anonKiB = 0;     // of the Rss: pages of no file (heap, stacks, the allocator's arenas)
};

// nullopt when the process is gone or its file cannot be read.
inline std::optional<ResidentMemory> ReadResidentMemory(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    ResidentMemory memory;
    bool seenRss = false;
    for (std::string line; std::getline(in, line);) {
        const auto value = [&line] { return std::atol(line.c_str() + line.find(':') + 1); };
        if (line.rfind("Rss:", 0) == 0) {
            memory.rssKiB = value();
            seenRss = true;
        } else if (line.rfind("Pss:", 0) == 0) {
            memory.pssKiB = value();
        } else if (line.rfind("Anonymous:", 0) == 0) {
            memory.anonKiB = value();
        }
    }
    if (!seenRss) return std::nullopt;
    return memory;
}

struct SettledMemory {
    ResidentMemory memory;
    bool settled = false;  // false: the limit came first and memory is the last reading
    double seconds = 0;    // from the start of waiting to the reading taken
};

// Reads the process every 100 ms until its Rss has stayed within `tolerance` KiB for `stableFor`,
// but not before `atLeast` (a program that is still loading its libraries can stand still for a
// moment). nullopt when the process ends meanwhile.
inline std::optional<SettledMemory> WaitForSettledMemory(pid_t pid, std::chrono::milliseconds atLeast,
                                                         std::chrono::milliseconds stableFor,
                                                         std::chrono::milliseconds limit, long toleranceKiB = 64) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto stableSince = start;
    ResidentMemory reference;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = Clock::now();
        const std::optional<ResidentMemory> reading = ReadResidentMemory(pid);
        if (!reading || !StillRunning(pid)) return std::nullopt;
        if (std::labs(reading->rssKiB - reference.rssKiB) > toleranceKiB) {
            reference = *reading;
            stableSince = now;
        }
        const double seconds = std::chrono::duration<double>(now - start).count();
        if (now - start >= atLeast && now - stableSince >= stableFor) return SettledMemory{*reading, true, seconds};
        if (now - start >= limit) return SettledMemory{*reading, false, seconds};
    }
}

}  // namespace kyro::bench
