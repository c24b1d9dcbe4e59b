// The engine's timing: a dense song (16 channels of 32nd notes at about 240 BPM, a tempo change
// every bar) played in real time, on an idle machine, on a loaded one (four processes that spin,
// besides the program, on this machine's two cores), and on the loaded machine as an ordinary
// user (the bench drops to nobody after set-up: no real-time scheduling, as on a desktop without
// RealtimeKit), through two outputs:
//
// - port: an output that stamps every message with the monotonic clock when the engine hands it
//   over, as a MIDI port sends it; each onset is compared with the engine's ideal schedule.
// - fluidsynth: the synthesizer with its render thread, played by a sound card's stand-in that
//   consumes periods by the wall clock (cardtimeline.h): a period not ready in time is played as
//   silence and what follows comes that much later. Each message's error is the moment the card
//   plays the frame where it took effect, minus its due time.
//
//   sequencer_bench [seconds]   (default 15, for each of the seven plays; run as root, which the
//                                bench leaves for the last three)
//
// The last play renders as the output did before it kept sound ready ahead of the card (each
// period in the driver's thread as it is asked for), to show that the measure sees what a
// listener hears when the card is not fed on time.
//
// Last line: onset error at the card, loaded unprivileged p50 N us, p99 N us, max N us,
// underruns N; loaded p99 N us, max N us; idle p99 N us, max N us
#include "sequencer/engine.h"
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/sampleclockedsynth.h"

#include "cardtimeline.h"

#include <fluidsynth.h>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <grp.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTicksPerQuarter = 480;
constexpr int kThirtySecond = kTicksPerQuarter / 8;
constexpr int kBar = kTicksPerQuarter * 4;
// Beats per minute bar by bar, around 240.
constexpr int kTempos[] = {240, 252, 228, 264, 216, 240, 270, 210};
constexpr int kBusyProcesses = 4;
constexpr double kSampleRate = 44100.0;
constexpr int kAudioDriverPriority = 60;  // what FluidSynth's drivers ask for their thread

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

// Onset errors in microseconds (signed); nothing allocates while the song plays.
class Errors {
public:
    explicit Errors(std::size_t capacity) { us_.reserve(capacity); }
    void Add(double us) {
        if (us_.size() < us_.capacity()) us_.push_back(us);
    }
    std::size_t Count() const { return us_.size(); }
    long Late(double limitUs) const { return long(std::count_if(us_.begin(), us_.end(), [&](double e) { return e > limitUs; })); }
    struct Summary {
        long p50, p99, max;
    };
    Summary Summarise() const {
        std::vector<long> magnitudes;
        for (double e : us_) magnitudes.push_back(std::lround(std::fabs(e)));
        std::sort(magnitudes.begin(), magnitudes.end());
        if (magnitudes.empty()) return {-1, -1, -1};
        auto at = [&](double q) { return magnitudes[std::min(magnitudes.size() - 1, std::size_t(q * double(magnitudes.size())))]; };
        return {at(0.50), at(0.99), magnitudes.back()};
    }

private:
    std::vector<double> us_;
};

// Stamps every message with the clock when the engine hands it over.
class StampingOutput : public kyro::MidiOutput {
public:
    explicit StampingOutput(std::size_t capacity) { stamps_.reserve(capacity); }
    void Send(std::int64_t songTimeUs, const std::uint8_t*, std::size_t) override {
        if (stamps_.size() < stamps_.capacity()) stamps_.push_back({songTimeUs, Clock::now()});
    }
    Errors Against(Clock::time_point start) const {
        Errors errors(stamps_.size());
        for (const auto& stamp : stamps_)
            errors.Add(std::chrono::duration<double, std::micro>(stamp.arrived - start).count() - double(stamp.songTimeUs));
        return errors;
    }

private:
    struct Stamp {
        std::int64_t songTimeUs;
        Clock::time_point arrived;
    };
    std::vector<Stamp> stamps_;
};

// A sound card with its driver's thread, as FluidSynth's ALSA driver runs it: the thread asks
// the synthesizer for a period, then writes it to the card, which returns when the card has room
// (cardtimeline.h). The thread asks for the driver's real-time priority itself and gets it only
// where the system allows it directly; the output raises it otherwise, as it raises a real
// driver's thread.
class SoundCardStandIn {
public:
    // `rendersItself`: the driver's thread renders each period before handing it over, as the
    // output did before it kept sound ready ahead (the comparison the bench prints last).
    SoundCardStandIn(kyro::SampleClockedSynth& synth, int periodFrames, int periods, double seconds, bool rendersItself)
        : synth_(synth),
          period_(periodFrames),
          rendersItself_(rendersItself),
          timeline_(kSampleRate, periodFrames, periods, std::size_t(seconds * kSampleRate / periodFrames) + 1),
          thread_([this] { Run(); }) {}
    ~SoundCardStandIn() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Read once stopped.
    const kyro::bench::CardTimeline& Timeline() const { return timeline_; }
    bool GotRealtime() const { return realtime_; }
    std::int64_t FramesWritten() const { return written_.load(); }

private:
    void Run() {
        sched_param param{};
        param.sched_priority = kAudioDriverPriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // refused to an ordinary user
        std::vector<float> left(static_cast<std::size_t>(period_)), right(static_cast<std::size_t>(period_));
        while (!stop_.load()) {
            std::fill(left.begin(), left.end(), 0.0f);
            std::fill(right.begin(), right.end(), 0.0f);
            float* out[2] = {left.data(), right.data()};
            if (rendersItself_) synth_.RenderAhead();
            synth_.Render(period_, 0, nullptr, 2, out);
            std::this_thread::sleep_until(timeline_.RoomAt());
            timeline_.Write(Clock::now());
            written_ = timeline_.FramesWritten();
        }
        int policy = 0;
        pthread_getschedparam(pthread_self(), &policy, &param);
        realtime_ = (policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO;
    }

    kyro::SampleClockedSynth& synth_;
    const int period_;
    const bool rendersItself_;
    kyro::bench::CardTimeline timeline_;
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> written_{0};
    bool realtime_ = false;
    std::thread thread_;
};

// From here on the bench runs as an ordinary user: no real-time scheduling, as on a desktop
// without RealtimeKit.
bool DropPrivileges() {
    if (geteuid() != 0) return true;
    constexpr uid_t kNobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

// Processes that spin until they are killed (or this one ends); started before any thread here
// asks for real-time scheduling, so that they stay at normal priority.
std::vector<pid_t> StartBusyProcesses(int count) {
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            DropPrivileges();  // so that the bench can stop them once it has dropped its own
            std::atomic<unsigned long> spin{0};
            for (;;) spin.fetch_add(1, std::memory_order_relaxed);
        }
        if (pid > 0) pids.push_back(pid);
    }
    return pids;
}

void StopProcesses(const std::vector<pid_t>& pids) {
    for (const pid_t pid : pids) kill(pid, SIGKILL);
    for (const pid_t pid : pids) waitpid(pid, nullptr, 0);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// `lateOverUs`: what counts as late in this output's terms.
void Report(const char* what, const Errors& errors, long lateOverUs, double cpuPercent = -1) {
    const auto s = errors.Summarise();
    std::printf("%s: %zu messages, %ld more than %ld us late; onset error p50 %ld us, p99 %ld us, max %ld us", what,
                errors.Count(), errors.Late(double(lateOverUs)), lateOverUs, s.p50, s.p99, s.max);
    if (cpuPercent >= 0) std::printf(", engine cpu %.1f %%", cpuPercent);
    std::printf("\n");
}

Errors PlayToPort(const std::shared_ptr<const kyro::Song>& song, const char* load) {
    StampingOutput output(song->events.size() + 64);
    kyro::SequencerEngine engine;
    const double cpuBefore = CpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    engine.Play(song, output, 0);
    engine.WaitForEnd();
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    Errors errors = output.Against(engine.StartedAt());
    Report((std::string("port, ") + load).c_str(), errors, 1000, 100.0 * cpu / wall);
    return errors;
}

struct CardResult {
    Errors errors;
    long underruns;  // periods the card played as silence, and device calls that found too little sound
};

// Each message's error is the moment the card plays the frame where it took effect, minus the
// moment it is due by the engine's clock: the output's latency, late rendering and the card's
// underruns all count.
// Without a reserve (`withReserve` false), the driver's thread renders each period itself.
CardResult PlayToFluidSynth(const std::shared_ptr<const kyro::Song>& song, fluid_synth_t* synth, int periodFrames,
                            int periods, const char* load, bool withReserve = true) {
    kyro::SampleClockedSynth clocked(synth, kSampleRate, periodFrames * periods,
                                     withReserve ? kyro::SampleClockedSynth::kAhead : std::chrono::milliseconds(0));
    struct Applied {
        std::int64_t songTimeUs, frame;
    };
    std::vector<Applied> applied;
    applied.reserve(song->events.size() + 64);
    std::atomic<std::size_t> appliedCount{0};
    std::atomic<std::int64_t> lastFrame{0};
    clocked.ObserveApplied([&](std::int64_t songTimeUs, double, std::int64_t frame) {
        if (applied.size() < applied.capacity()) applied.push_back({songTimeUs, frame});
        lastFrame = frame;
        ++appliedCount;
    });
    const double seconds = double(song->lengthUs) / 1e6 + 10;
    clocked.RenderAhead();
    SoundCardStandIn card(clocked, periodFrames, periods, seconds, !withReserve);
    if (withReserve) clocked.StartRenderThread();
    kyro::SequencerEngine engine;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the card runs before the play begins
    engine.Play(song, clocked, 0);
    engine.WaitForEnd();
    // The card plays on until the last message's frame is played.
    const auto giveUp = Clock::now() + std::chrono::seconds(5);
    while ((appliedCount.load() < song->events.size() || card.FramesWritten() <= lastFrame.load()) &&
           Clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    card.Stop();
    clocked.StopRenderThread();

    const kyro::bench::CardTimeline& timeline = card.Timeline();
    CardResult result{Errors(applied.size()), timeline.Underruns() + clocked.Underruns()};
    for (const Applied& a : applied) {
        const auto due = engine.StartedAt() + std::chrono::microseconds(a.songTimeUs);
        result.errors.Add(std::chrono::duration<double, std::micro>(timeline.PlayedAt(a.frame) - due).count());
    }
    std::printf("fluidsynth, %s: card saw %lld periods, %ld late (%.1f ms of silence); %ld device calls short of "
                "sound; device thread %s\n",
                load, static_cast<long long>(timeline.FramesWritten() / periodFrames), timeline.Underruns(),
                std::chrono::duration<double, std::milli>(timeline.Silence()).count(), clocked.Underruns(),
                card.GotRealtime() ? "real-time" : "at normal priority");
    Report((std::string("fluidsynth, ") + load).c_str(), result.errors, 1000);
    return result;
}


}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 15.0;
    auto song = std::make_shared<const kyro::Song>(DenseSong(seconds));
    std::printf("song: %zu events in %.1f s (16 channels, 32nd notes, %zu tempos)\n", song->events.size(),
                double(song->lengthUs) / 1e6, std::size(kTempos));

    kyro::OutputSettings settings;
    auto made = kyro::MakeFluidSynth(settings, kSampleRate);
    if (!made.synth) {
        std::printf("no synthesizer: %s\n", made.error.c_str());
        return 1;
    }
    int periodFrames = 64, periods = 16;  // FluidSynth's audio driver settings
    fluid_settings_getint(made.synth->Settings(), "audio.period-size", &periodFrames);
    fluid_settings_getint(made.synth->Settings(), "audio.periods", &periods);
    std::printf("sound card stand-in: %d periods of %d frames at %.0f Hz\n", periods, periodFrames, kSampleRate);

    const Errors idlePort = PlayToPort(song, "idle");
    const CardResult idle = PlayToFluidSynth(song, made.synth->Synth(), periodFrames, periods, "idle");
    const std::vector<pid_t> busy = StartBusyProcesses(kBusyProcesses);
    std::printf("load: %zu processes spinning\n", busy.size());
    const Errors loadedPort = PlayToPort(song, "loaded");
    const CardResult loaded = PlayToFluidSynth(song, made.synth->Synth(), periodFrames, periods, "loaded");
    if (!DropPrivileges()) {
        std::printf("cannot run as an ordinary user: %s\n", std::strerror(errno));
        StopProcesses(busy);
        return 1;
    }
    std::printf("now running as user %d, real-time scheduling not granted\n", int(getuid()));
    const Errors unprivilegedPort = PlayToPort(song, "loaded unprivileged");
    const CardResult unprivileged =
        PlayToFluidSynth(song, made.synth->Synth(), periodFrames, periods, "loaded unprivileged");
    // The same without the reserve: what the measure shows when the card is not fed on time.
    PlayToFluidSynth(song, made.synth->Synth(), periodFrames, periods,
                     "loaded unprivileged, no reserve (rendered in the driver's thread)", false);
    StopProcesses(busy);

    const auto u = unprivileged.errors.Summarise();
    const auto l = loaded.errors.Summarise();
    const auto i = idle.errors.Summarise();
    std::printf("onset error at the card, loaded unprivileged p50 %ld us, p99 %ld us, max %ld us, underruns %ld; "
                "loaded p99 %ld us, max %ld us; idle p99 %ld us, max %ld us\n",
                u.p50, u.p99, u.max, unprivileged.underruns, l.p99, l.max, i.p99, i.max);
    return 0;
}
