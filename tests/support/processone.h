#pragma once
// Runs work in a child process as a sandboxed program runs: as process 1 of a PID namespace of
// its own, so that every run carries the same number, and the number of a file's writer is that
// of a live process (the reader itself). Where the machine makes no namespaces (no privilege), the
// child instead takes every process number for a live one, which is what such a sandbox shows.

#include "platform/tempfiles.h"

#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kyro::test {

// The child's exit code (128 + the signal when one ended it).
inline int RunAsProcessOne(const std::function<int()>& work) {
    auto exitCode = [](int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); };
    const pid_t child = ::fork();
    if (child == 0) {
        if (::unshare(CLONE_NEWPID) == 0) {
            const pid_t one = ::fork();  // the first process of the new namespace
            if (one == 0) ::_exit(work());
            int status = 0;
            ::waitpid(one, &status, 0);
            ::_exit(exitCode(status));
        }
        SetProcessLivenessHook([](pid_t) { return true; });
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return exitCode(status);
}

inline constexpr int kKilledAtStep = 41;
inline constexpr int kWorkFinished = 42;

namespace detail {
inline int stepsLeft = 0;
inline void KillAtStep() {
    if (--stepsLeft == 0) ::_exit(kKilledAtStep);
}
}  // namespace detail

// Runs `work` as process 1, dying as if killed after its `step`-th disk change (the write-step
// hook): kKilledAtStep, or kWorkFinished when the work ended before that step.
inline int RunKilledAtStep(int step, const std::function<void()>& work) {
    return RunAsProcessOne([&] {
        detail::stepsLeft = step;
        SetWriteStepHook(&detail::KillAtStep);
        work();
        return kWorkFinished;
    });
}

}  // namespace kyro::test
