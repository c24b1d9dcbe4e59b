// libunlha32.so: UnlhaGetRunning tells another thread that a call is in progress.

#include "realunlha.h"

#include <future>
#include <thread>

namespace kyro::test {
namespace {

// The resolver is called from inside the library call, so it can hold that call open while
// the test thread looks; promises make the order fixed.
std::promise<void>* g_entered = nullptr;
std::shared_future<void> g_release;
std::atomic<int> g_runningSeenByCaller{-1};
const ArchiveFunctions* g_fn = nullptr;

int HoldingResolver(const char* dos, char* out, size_t size) {
    if (g_entered) {
        g_runningSeenByCaller = g_fn->GetRunning();  // the caller's own call does not count
        g_entered->set_value();
        g_entered = nullptr;
        g_release.wait();
    }
    std::string native = dos;
    if (native.size() >= size) return 0;
    std::memcpy(out, native.c_str(), native.size() + 1);
    return 1;
}

using ArchiveRunning = RealUnlhaTest;

TEST_F(ArchiveRunning, TrueOnlyWhileAnotherThreadIsInside) {
    EXPECT_EQ(Fn().GetRunning(), 0);
    std::promise<void> entered;
    std::promise<void> release;
    g_entered = &entered;
    g_release = release.get_future().share();
    g_fn = &Fn();
    Fn().SetPathResolver(&HoldingResolver);

    std::thread worker([&] { Fn().CheckArchive("D:\\held.lzh", 0); });
    entered.get_future().wait();
    EXPECT_NE(Fn().GetRunning(), 0);
    release.set_value();
    worker.join();

    EXPECT_EQ(g_runningSeenByCaller.load(), 0);
    EXPECT_EQ(Fn().GetRunning(), 0);
}

}  // namespace
}  // namespace kyro::test
