#pragma once
// An exclusive lock on a file or a folder, held for as long as the object lives. The kernel lets
// go of it when the process ends, however it ends, so a lock that can be taken tells that whoever
// held it before has ended: unlike a process number, which repeats (in a sandbox every start may
// be process 1), a lock cannot be mistaken.

#include <string>

namespace kyro {

class FileLock {
public:
    enum class State {
        Held,           // this object holds the lock
        HeldElsewhere,  // another open file holds it (another process, or another object here)
        Unavailable,    // the path cannot be opened, or the file system keeps no locks
    };

    FileLock() = default;
    // Tries once, without waiting. `createFile`: a missing file is made (never a folder).
    FileLock(const std::string& nativePath, bool createFile);
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State Status() const { return state_; }
    bool Held() const { return state_ == State::Held; }

    // Whether the lock still belongs to what the path names: one that was removed (and perhaps
    // made again) while it was being taken protects nothing.
    bool StillNames(const std::string& nativePath) const;

private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace kyro
