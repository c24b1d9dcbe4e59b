#include "sequencer/engine.h"

#include "sequencer/realtimethread.h"
#include "sequencer/songstate.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include <pthread.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kyro {

namespace {

// Song time elapsed since the start of the play (song time fromUs), as a clock duration.
std::chrono::nanoseconds ScaledDuration(std::int64_t songUs, double scale) {
    return std::chrono::nanoseconds(std::llround(double(songUs) * 1000.0 / scale));
}

void SendEvent(MidiOutput& output, std::int64_t songTimeUs, const std::vector<std::uint8_t>& message) {
    if (!message.empty()) output.Send(songTimeUs, message.data(), message.size());
}

// Ends the notes the engine knows are sounding.
void ReleaseHeld(MidiOutput& output, std::int64_t songTimeUs, HeldNotes& held) {
    for (int channel = 0; channel < 16; ++channel)
        for (int key = 0; key < 128; ++key)
            if (held.IsHeld(channel, key)) {
                const std::uint8_t off[3] = {std::uint8_t(0x80 | channel), std::uint8_t(key), 0};
                output.Send(songTimeUs, off, 3);
            }
    held.Clear();
}

// A stopped song leaves nothing sounding: held notes end, then every channel gets all notes off,
// sustain off (all notes off alone leaves sustained notes ringing) and reset all controllers.
void Silence(MidiOutput& output, std::int64_t songTimeUs, HeldNotes& held) {
    ReleaseHeld(output, songTimeUs, held);
    for (int channel = 0; channel < 16; ++channel) {
        const auto status = std::uint8_t(0xB0 | channel);
        for (const std::uint8_t controller : {123, 64, 121}) {
            const std::uint8_t message[3] = {status, controller, 0};
            output.Send(songTimeUs, message, 3);
        }
    }
}

// The scheduling request of sched_setattr(2), declared here because the C library has none.
struct SchedAttr {
    std::uint32_t size;
    std::uint32_t policy;
    std::uint64_t flags;
    std::int32_t nice;
    std::uint32_t priority;
    std::uint64_t runtime;  // for a normal thread (Linux 6.12 and later): the time slice it asks for
    std::uint64_t deadline;
    std::uint64_t period;
};

// For a thread left at normal scheduling: a short time slice, so that the scheduler runs the
// engine as soon as it wakes even when every core is busy. Needs no privileges; a kernel that
// does not know it refuses, and the engine plays on.
void AskForShortTimeSlice() {
    const auto thread = pid_t(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, id_t(thread));
    if (errno != 0) return;
    SchedAttr attr{};
    attr.size = sizeof attr;
    attr.policy = SCHED_OTHER;
    attr.nice = nice;  // unchanged
    attr.runtime = 100000;  // ns, the shortest slice the kernel grants
    syscall(SYS_sched_setattr, thread, &attr, 0U);
}

// A name in ps/top, the finest timer slack the kernel gives (the default 50 µs would show in the
// onsets), and real-time scheduling where the system grants it: on a busy machine a normal thread
// waits behind others for milliseconds (bench/sequencer_bench.cpp, loaded).
void PrepareEngineThread() {
    pthread_setname_np(pthread_self(), "kyro-sequencer");
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    if (MakeThisThreadRealtime(kEngineRealtimePriority) == RealtimeRoute::None) AskForShortTimeSlice();
}
}  // namespace

SequencerEngine::SequencerEngine(std::unique_ptr<EngineClock> clock)
    : clock_(clock ? std::move(clock) : std::make_unique<SteadyEngineClock>()) {}

SequencerEngine::~SequencerEngine() {
    Stop();
}

void SequencerEngine::SetClockScale(double scale) {
    clockScale_ = scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

void SequencerEngine::Play(std::shared_ptr<const Song> song, MidiOutput& output, std::int64_t fromUs,
                           Completion onEnd) {
    Stop();
    if (!song) song = std::make_shared<const Song>();
    stopRequested_ = false;
    playing_ = true;
    timing_ = false;
    positionUs_ = fromUs;
    thread_ = std::thread(&SequencerEngine::Run, this, std::move(song), &output, fromUs, clockScale_,
                          std::move(onEnd));
}

std::int64_t SequencerEngine::Stop() {
    stopRequested_ = true;
    clock_->Interrupt();
    Join();
    return positionUs_.load();
}

void SequencerEngine::WaitForEnd() {
    Join();
}

void SequencerEngine::Join() {
    if (thread_.joinable()) thread_.join();
    playing_ = false;
}

EngineClock::TimePoint SequencerEngine::StartedAt() const {
    return EngineClock::TimePoint(EngineClock::TimePoint::duration(startedAt_.load()));
}

std::int64_t SequencerEngine::PositionUs() const {
    if (!timing_.load()) return positionUs_.load();
    const std::int64_t fromUs = timedFromUs_.load();
    const auto heard = std::chrono::duration<double, std::micro>(clock_->Now() - StartedAt()).count() * timedScale_.load();
    return fromUs + std::int64_t(std::clamp(heard, 0.0, double(timedLengthUs_.load() - fromUs)));
}

void SequencerEngine::Run(std::shared_ptr<const Song> song, MidiOutput* output, std::int64_t fromUs,
                          double scale, Completion onEnd) {
    PrepareEngineThread();
    const std::vector<SongEvent>& events = song->events;
    const std::int64_t lengthUs = std::max(song->lengthUs, events.empty() ? 0 : events.back().timeUs);
    fromUs = std::clamp<std::int64_t>(fromUs, 0, lengthUs);
    HeldNotes held;

    // Events before the position are skipped; what they set up on the channels is sent again.
    std::size_t next = std::lower_bound(events.begin(), events.end(), fromUs,
                                        [](const SongEvent& e, std::int64_t t) { return e.timeUs < t; }) -
                       events.begin();
    // The song's clock starts when its first sound can be heard.
    const EngineClock::TimePoint start = clock_->Now() + output->Latency();
    startedAt_ = start.time_since_epoch().count();
    timedFromUs_ = fromUs;
    timedLengthUs_ = lengthUs;
    timedScale_ = scale;
    timing_ = true;
    output->BeginPlay(fromUs, start, scale);
    for (const std::size_t i : ChannelSetupBefore(events, next)) SendEvent(*output, fromUs, events[i].message);

    // Events go to the output its lookahead before they are due; the end of the song is kept on
    // time, so that the next song follows when this one has been heard.
    const auto lookahead = output->Lookahead();
    bool reachedEnd = false;
    while (!stopRequested_.load()) {
        const bool atEnd = next == events.size();
        const std::int64_t dueUs = atEnd ? lengthUs : events[next].timeUs;
        const EngineClock::TimePoint deadline =
            start + ScaledDuration(dueUs - fromUs, scale) - (atEnd ? std::chrono::microseconds(0) : lookahead);
        if (clock_->Now() < deadline) {
            clock_->SleepUntil(deadline, stopRequested_);
            continue;  // the time, or a stop, is checked again
        }
        if (atEnd) {
            reachedEnd = true;
            break;
        }
        const SongEvent& event = events[next++];
        if (!event.message.empty()) held.Track(event.message.data(), event.message.size());
        SendEvent(*output, event.timeUs, event.message);
    }

    if (reachedEnd) {
        // A song may leave notes on (a missing note-off); they end with it.
        ReleaseHeld(*output, lengthUs, held);
        output->Flush(lengthUs);
        positionUs_ = lengthUs;
        timing_ = false;
        playing_ = false;
        if (onEnd) onEnd();
        return;
    }
    // Stopped: the position is the song time reached, but never past an event not yet sent.
    const auto elapsed = std::chrono::duration<double, std::micro>(clock_->Now() - start).count() * scale;
    const std::int64_t notSent = next < events.size() ? events[next].timeUs : lengthUs;
    const std::int64_t position = fromUs + std::int64_t(std::clamp(elapsed, 0.0, double(notSent - fromUs)));
    output->DropQueued();
    Silence(*output, position, held);
    output->Flush(position);
    positionUs_ = position;
    timing_ = false;
}

}  // namespace kyro
