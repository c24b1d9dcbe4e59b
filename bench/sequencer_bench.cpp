// The engine's timing: a dense song (16 channels of 32nd notes at about 240 BPM, a tempo change
// every bar) played in real time to an output that stamps every message with the monotonic
// clock. Each onset is compared with the ideal schedule (the engine's start + the event's song
// time). A child process keeps the other core busy meanwhile, as a desktop would.
//
//   sequencer_bench [seconds]   (default 15)
//
// Last line: onset error p50 N us, p99 N us, max N us, cpu N.N %
#include "sequencer/engine.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTicksPerQuarter = 480;
constexpr int kThirtySecond = kTicksPerQuarter / 8;
constexpr int kBar = kTicksPerQuarter * 4;
// Beats per minute bar by bar, around 240.
constexpr int kTempos[] = {240, 252, 228, 264, 216, 240, 270, 210};

// The song as a reader would deliver it: microseconds from the tempo map, note-offs before the
// note-ons of the same moment.
kyro::Song DenseSong(double seconds) {
    kyro::Song song;
    std::int64_t segmentUs = 0;
    int bar = 0;
    std::int64_t usPerQuarter = 60000000 / kTempos[0];
    for (int tick = 0;; tick += kThirtySecond) {
        if (tick % kBar == 0 && tick > 0) {
            segmentUs += std::int64_t(kBar) * usPerQuarter / kTicksPerQuarter;
            usPerQuarter = 60000000 / kTempos[++bar % std::size(kTempos)];
        }
        const std::int64_t us = segmentUs + std::int64_t(tick % kBar) * usPerQuarter / kTicksPerQuarter;
        const int step = tick / kThirtySecond;
        for (int channel = 0; channel < 16; ++channel)
            if (step > 0)
                song.events.push_back({us, {std::uint8_t(0x80 | channel), std::uint8_t(36 + (step - 1 + channel) % 60), 0}});
        if (us >= std::int64_t(seconds * 1e6)) {
            song.lengthUs = us;
            break;
        }
        for (int channel = 0; channel < 16; ++channel)
            song.events.push_back({us, {std::uint8_t(0x90 | channel), std::uint8_t(36 + (step + channel) % 60), 90}});
    }
    return song;
}

// Stamps every message; nothing allocates while the song plays.
class StampingOutput : public kyro::MidiOutput {
public:
    explicit StampingOutput(std::size_t capacity) { stamps_.reserve(capacity); }
    void Send(std::int64_t songTimeUs, const std::uint8_t*, std::size_t) override {
        if (stamps_.size() < stamps_.capacity()) stamps_.push_back({songTimeUs, Clock::now()});
    }
    struct Stamp {
        std::int64_t songTimeUs;
        Clock::time_point arrived;
    };
    const std::vector<Stamp>& Stamps() const { return stamps_; }

private:
    std::vector<Stamp> stamps_;
};

// A process that spins until it is killed (or this one ends).
pid_t StartBusyChild() {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        std::atomic<unsigned long> spin{0};
        for (;;) spin.fetch_add(1, std::memory_order_relaxed);
    }
    return pid;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 15.0;
    auto song = std::make_shared<kyro::Song>(DenseSong(seconds));
    StampingOutput output(song->events.size() + 64);
    std::printf("song: %zu events in %.1f s (16 channels, 32nd notes, %zu tempos)\n", song->events.size(),
                double(song->lengthUs) / 1e6, std::size(kTempos));

    const pid_t busy = StartBusyChild();
    if (busy < 0) std::perror("fork (the other core stays idle)");

    kyro::SequencerEngine engine;
    const double cpuBefore = CpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    engine.Play(song, output, 0);
    engine.WaitForEnd();
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    const double cpu = CpuSeconds() - cpuBefore;
    if (busy > 0) {
        kill(busy, SIGKILL);
        waitpid(busy, nullptr, 0);
    }

    const Clock::time_point start = engine.StartedAt();
    std::vector<long> errors;
    long early = 0;
    for (const auto& stamp : output.Stamps()) {
        const auto due = start + std::chrono::microseconds(stamp.songTimeUs);
        const long us = long(std::chrono::duration_cast<std::chrono::microseconds>(stamp.arrived - due).count());
        if (us < 0) ++early;
        errors.push_back(std::labs(us));
    }
    if (errors.empty()) {
        std::printf("nothing was played\n");
        return 1;
    }
    std::sort(errors.begin(), errors.end());
    auto at = [&](double q) { return errors[std::min(errors.size() - 1, std::size_t(q * double(errors.size())))]; };
    std::printf("messages: %zu, sent early: %ld, wall %.2f s, cpu %.3f s\n", errors.size(), early, wall, cpu);
    std::printf("onset error p50 %ld us, p99 %ld us, max %ld us, cpu %.1f %%\n", at(0.50), at(0.99), errors.back(),
                100.0 * cpu / wall);
    return 0;
}
