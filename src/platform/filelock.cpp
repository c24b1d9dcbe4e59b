#include "platform/filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kyro {

FileLock::FileLock(const std::string& nativePath, bool createFile) {
    // O_NONBLOCK: a FIFO put in the lock file's place must not hold the start-up.
    const int flags = createFile ? O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK : O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    fd_ = ::open(nativePath.c_str(), flags, 0644);
    if (fd_ < 0) return;
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            state_ = State::Held;
            return;
        }
        if (errno == EWOULDBLOCK) state_ = State::HeldElsewhere;
    }
    ::close(fd_);
    fd_ = -1;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // the lock goes with the descriptor
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, State::Unavailable)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        state_ = std::exchange(other.state_, State::Unavailable);
    }
    return *this;
}

bool FileLock::StillNames(const std::string& nativePath) const {
    struct stat held {}, named {};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::lstat(nativePath.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace kyro
