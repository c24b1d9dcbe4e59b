#pragma once
// The unpack folder of a run that ended without removing it, as a killed run leaves it: made in
// a child process that ends at once, its lock going with it.

#include "platform/privatetempfolder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace kyro::test {

// Its name inside `parentNative`; "" when none could be made.
inline std::string FolderOfAnEndedRun(const std::string& parentNative) {
    int ends[2];
    if (::pipe(ends) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string name = (new PrivateTempFolder(parentNative))->Name();  // never removed
        (void)!::write(ends[1], name.data(), name.size());
        ::_exit(0);
    }
    ::close(ends[1]);
    char name[64] = {};
    (void)!::read(ends[0], name, sizeof name - 1);
    ::close(ends[0]);
    ::waitpid(child, nullptr, 0);
    return name;
}

}  // namespace kyro::test
