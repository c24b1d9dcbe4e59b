#include "sequencer/realtimethread.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kyro {

namespace {

// Children (a document viewer started by the program) must not inherit the policy.
constexpr int kFifoNotInherited = SCHED_FIFO | SCHED_RESET_ON_FORK;

bool SetFifo(pid_t thread, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return priority > 0 && sched_setscheduler(thread, kFifoNotInherited, &param) == 0;
}

// Root (or CAP_SYS_NICE) may take any priority; a user with an RLIMIT_RTPRIO up to that limit.
bool MakeRealtimeDirectly(pid_t thread, int priority) {
    if (SetFifo(thread, priority)) return true;
    rlimit limit{};
    return getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur < rlim_t(priority) &&
           SetFifo(thread, int(limit.rlim_cur));
}

constexpr const char* kRtkitService = "org.freedesktop.RealtimeKit1";
constexpr const char* kRtkitObject = "/org/freedesktop/RealtimeKit1";

struct RtkitAnswer {
    bool granted = false;
    bool unavailable = false;  // no system bus, or no RealtimeKit on it: asking again is pointless
    std::string why;
};

// RealtimeKit refuses a process that could keep a core to itself: the hard RLIMIT_RTTIME must be
// set, and to no more than the CPU time it allows a real-time thread without a sleep. The engine
// sleeps between events, so the limit is never reached by playing.
bool LimitRealtimeCpuTime(std::int64_t allowedUs) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= rlim_t(allowedUs)) return true;  // a lower limit stands
    limit.rlim_cur = limit.rlim_max = rlim_t(std::max<std::int64_t>(allowedUs, 1));
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

RtkitAnswer AskRealtimeKit(pid_t thread, int priority) {
    RtkitAnswer answer;
    sd_bus* bus = nullptr;
    if (const int r = sd_bus_open_system(&bus); r < 0) {
        answer.unavailable = true;
        answer.why = std::string("no system bus: ") + std::strerror(-r);
        return answer;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    auto failed = [&](const char* step, int r) {
        answer.unavailable = sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
                             sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
        answer.why = std::string("RealtimeKit ") + step + ": " +
                     (sd_bus_error_is_set(&error) && error.message ? error.message : std::strerror(-r));
    };
    std::int32_t maxPriority = 0;
    std::int64_t rttimeMaxUs = 0;
    int r = sd_bus_get_property_trivial(bus, kRtkitService, kRtkitObject, kRtkitService, "MaxRealtimePriority", &error,
                                        'i', &maxPriority);
    if (r >= 0)
        r = sd_bus_get_property_trivial(bus, kRtkitService, kRtkitObject, kRtkitService, "RTTimeUSecMax", &error, 'x',
                                        &rttimeMaxUs);
    if (r < 0) {
        failed("properties", r);
    } else if (!LimitRealtimeCpuTime(rttimeMaxUs)) {
        answer.why = "RLIMIT_RTTIME cannot be set";
    } else {
        const auto granted = std::uint32_t(std::clamp(priority, 1, std::max<int>(maxPriority, 1)));
        r = sd_bus_call_method(bus, kRtkitService, kRtkitObject, kRtkitService, "MakeThreadRealtime", &error, nullptr,
                               "tu", std::uint64_t(thread), granted);
        if (r < 0)
            failed("MakeThreadRealtime", r);
        else
            answer.granted = true;
    }
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
    return answer;
}

std::atomic<bool> rtkitUnavailable{false};
std::once_flag refusalSaid;

}  // namespace

RealtimeRoute MakeThisThreadRealtime(int priority) { return MakeThreadRealtime(int(syscall(SYS_gettid)), priority); }

RealtimeRoute MakeThreadRealtime(int threadId, int priority) {
    const auto thread = pid_t(threadId);
    const int policy = sched_getscheduler(thread);
    if (policy >= 0 && ((policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO || (policy & ~SCHED_RESET_ON_FORK) == SCHED_RR))
        return RealtimeRoute::Direct;  // raised already
    if (MakeRealtimeDirectly(thread, priority)) return RealtimeRoute::Direct;
    RtkitAnswer answer;
    if (!rtkitUnavailable.load()) {
        answer = AskRealtimeKit(thread, priority);
        if (answer.granted) return RealtimeRoute::RealtimeKit;
        if (answer.unavailable) rtkitUnavailable = true;
    } else {
        answer.why = "RealtimeKit is not available";
    }
    std::call_once(refusalSaid, [&] {
        std::fprintf(stderr,
                     "kyrotune: the sequencer and the synthesizer play at normal priority; real-time scheduling "
                     "was refused (%s)\n",
                     answer.why.c_str());
    });
    return RealtimeRoute::None;
}

}  // namespace kyro
