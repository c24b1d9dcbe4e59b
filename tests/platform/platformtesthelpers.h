#pragma once
// Helpers shared by the tests of src/platform.

#include "support/qtprinters.h"

#include <sys/resource.h>

#include <csignal>
#include <ostream>
#include <string>

namespace kyro::test {

// Limits the size of files this process may write, for the lifetime of the object: a write past
// the limit fails with EFBIG, as on a full disk. Works for root too, unlike taking away write
// permission.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);  // a failing write, not a killed process
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

}  // namespace kyro::test
