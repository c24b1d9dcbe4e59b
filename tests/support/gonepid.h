#pragma once
// The number of a process that has ended, for files named after a process that is gone.

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kyro::test {

inline pid_t GonePid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

}  // namespace kyro::test
