// The RealtimeKit route, for users who may not make a thread real-time themselves: a stand-in
// RealtimeKit on a private bus (given as the system bus) answers as the real one does, and the
// test process has given up the right to raise its own threads.
#include "sequencer/realtimethread.h"

#include <systemd/sd-bus.h>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace kyro {
namespace {

constexpr std::int32_t kMaxPriority = 5;
constexpr std::int64_t kRtTimeMaxUs = 200000;

// What the stand-in was asked.
struct Requests {
    std::atomic<int> calls{0};
    std::atomic<std::uint64_t> thread{0};
    std::atomic<std::uint32_t> priority{0};
};

int MakeThreadRealtime(sd_bus_message* message, void* userdata, sd_bus_error*) {
    auto* requests = static_cast<Requests*>(userdata);
    std::uint64_t thread = 0;
    std::uint32_t priority = 0;
    if (const int r = sd_bus_message_read(message, "tu", &thread, &priority); r < 0) return r;
    requests->thread = thread;
    requests->priority = priority;
    ++requests->calls;
    return sd_bus_reply_method_return(message, "");
}

int MaxRealtimePriority(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "i", kMaxPriority);
}

int RtTimeUSecMax(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "x", kRtTimeMaxUs);
}

const sd_bus_vtable kRealtimeKit[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("MakeThreadRealtime", "tu", "", MakeThreadRealtime, 0),
    SD_BUS_PROPERTY("MaxRealtimePriority", "i", MaxRealtimePriority, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("RTTimeUSecMax", "x", RtTimeUSecMax, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END,
};

// Serves RealtimeKit's name on the bus until destroyed.
class RealtimeKitStandIn {
public:
    bool Start() {
        if (sd_bus_open_system(&bus_) < 0 ||
            sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/RealtimeKit1", "org.freedesktop.RealtimeKit1",
                                     kRealtimeKit, &requests) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.RealtimeKit1", 0) < 0)
            return false;
        thread_ = std::thread([this] {
            while (!stop_) {
                if (sd_bus_process(bus_, nullptr) > 0) continue;
                sd_bus_wait(bus_, 20000);
            }
        });
        return true;
    }
    ~RealtimeKitStandIn() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        sd_bus_flush_close_unref(bus_);
    }
    Requests requests;

private:
    sd_bus* bus_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Without CAP_SYS_NICE and with RLIMIT_RTPRIO 0, as a desktop user is.
bool GiveUpRaisingThreadsDirectly() {
    const rlimit none{0, 0};
    if (setrlimit(RLIMIT_RTPRIO, &none) != 0) return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    for (auto& d : data) d.effective &= ~(1u << CAP_SYS_NICE), d.permitted &= ~(1u << CAP_SYS_NICE);
    return syscall(SYS_capset, &header, data) == 0;
}

TEST(RealtimeKitRoute, AsksForTheCallingThreadWithinRealtimeKitsLimits) {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!bus) GTEST_SKIP() << "no private bus (the test runs under dbus-run-session)";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus, 1);
    ASSERT_TRUE(GiveUpRaisingThreadsDirectly());

    {
        RealtimeKitStandIn rtkit;
        ASSERT_TRUE(rtkit.Start());
        std::uint64_t asker = 0;
        RealtimeRoute route = RealtimeRoute::None;
        std::thread([&] {
            asker = std::uint64_t(syscall(SYS_gettid));
            route = MakeThisThreadRealtime(10);
        }).join();
        EXPECT_EQ(route, RealtimeRoute::RealtimeKit);
        EXPECT_EQ(rtkit.requests.calls, 1);
        EXPECT_EQ(rtkit.requests.thread, asker);
        EXPECT_EQ(rtkit.requests.priority, std::uint32_t(kMaxPriority));  // 10 asked, 5 allowed
        // RealtimeKit refuses processes that may keep a core to themselves.
        rlimit rttime{};
        ASSERT_EQ(getrlimit(RLIMIT_RTTIME, &rttime), 0);
        EXPECT_LE(rttime.rlim_max, rlim_t(kRtTimeMaxUs));
    }
    // Without RealtimeKit the thread plays on as it is; it is asked only once.
    EXPECT_EQ(MakeThisThreadRealtime(10), RealtimeRoute::None);
    RealtimeKitStandIn lateRtkit;
    ASSERT_TRUE(lateRtkit.Start());
    EXPECT_EQ(MakeThisThreadRealtime(10), RealtimeRoute::None);
    EXPECT_EQ(lateRtkit.requests.calls, 0);
}

}  // namespace
}  // namespace kyro
