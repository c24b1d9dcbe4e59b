#include "platform/filemove.h"

#include "platform/filesystem.h"
#include "platform/tempfiles.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

namespace kyro {

namespace {

// renameat2 refuses to replace in one step. File systems that do not offer RENAME_NOREPLACE
// answer EINVAL; there link does the same (it fails on an existing name) and unlink finishes.
int RealNoReplaceRename(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from, to) != 0) {
        // No hard links here (FAT, some network shares): the copy route also refuses to replace.
        if (errno == EPERM || errno == EOPNOTSUPP) errno = EXDEV;
        return -1;
    }
    if (::unlink(from) != 0) {
        const int error = errno;
        ::unlink(to);
        errno = error;
        return -1;
    }
    return 0;
}

NoReplaceRename renameNoReplace = &RealNoReplaceRename;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {  // the result of close counts: it can report a failed write
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

constexpr std::size_t kChunk = 64 * 1024;

// Reads up to `size` bytes, retrying short reads; the count read, or -1.
ssize_t ReadFully(int fd, char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool CopyBytes(int in, int out) {
    std::array<char, kChunk> buffer{};
    for (;;) {
        const ssize_t n = ReadFully(in, buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        if (!WriteAll(out, std::string(buffer.data(), static_cast<std::size_t>(n)))) return false;
    }
}

// The copy is read back from the disk and compared with the source, byte for byte.
bool SameContents(const std::string& a, const std::string& b, off_t expectedSize) {
    FileDescriptor fa(::open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    FileDescriptor fb(::open(b.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat sa {}, sb {};
    if (fa.get() < 0 || fb.get() < 0 || ::fstat(fa.get(), &sa) != 0 || ::fstat(fb.get(), &sb) != 0) return false;
    if (sa.st_size != expectedSize || sb.st_size != expectedSize) return false;
    std::array<char, kChunk> bufA{}, bufB{};
    for (;;) {
        const ssize_t na = ReadFully(fa.get(), bufA.data(), bufA.size());
        const ssize_t nb = ReadFully(fb.get(), bufB.data(), bufB.size());
        if (na < 0 || na != nb) return false;
        if (na == 0) return true;
        if (!std::equal(bufA.begin(), bufA.begin() + na, bufB.begin())) return false;
    }
}

// Across file systems: a new file (created exclusively, so nothing is replaced) receives the
// bytes, mode and times; once it reads back equal to the source the source goes. Any failure
// removes the copy and keeps the source.
MoveResult CopyVerifyDelete(const std::string& from, const std::string& to) {
    // O_NONBLOCK: a FIFO in a song's place is refused below instead of holding the move at open().
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return MoveResult::Failed;
    FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) return errno == EEXIST ? MoveResult::TargetExists : MoveResult::Failed;

    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    bool ok = CopyBytes(in.get(), out.get()) && ::fchmod(out.get(), st.st_mode & 07777) == 0 &&
              ::futimens(out.get(), times.data()) == 0 && ::fsync(out.get()) == 0;
    ok = out.Close() && ok;
    ok = ok && SameContents(from, to, st.st_size);
    if (ok) {
        SyncFolderOf(to);
        ok = ::unlink(from.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(to.c_str());
        return MoveResult::Failed;
    }
    SyncFolderOf(from);
    return MoveResult::Moved;
}

}  // namespace

void SetNoReplaceRenameForTesting(NoReplaceRename rename) {
    renameNoReplace = rename ? rename : &RealNoReplaceRename;
}

MoveResult MoveFileNoReplace(const std::string& fromDos, const std::string& toDos) {
    const auto from = NativePath(fromDos);
    const auto to = NativePath(toDos);
    struct stat st {};
    if (!from || !to || ::lstat(from->c_str(), &st) != 0) return MoveResult::Failed;
    if (renameNoReplace(from->c_str(), to->c_str()) == 0) return MoveResult::Moved;
    if (errno == EEXIST) return MoveResult::TargetExists;
    if (errno == EXDEV) return CopyVerifyDelete(*from, *to);
    return MoveResult::Failed;
}

TrashResult MoveToTrash(const std::string& dosPath) {
    const auto native = NativePath(dosPath);
    struct stat st {};
    if (!native || ::lstat(native->c_str(), &st) != 0) return TrashResult::Failed;
    // Qt 6.4 puts the trash into the working folder, and says it succeeded, when the user's data
    // folder (the home trash's parent) is missing: make it first, and without it do not try.
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataFolder.isEmpty() || !QDir().mkpath(dataFolder)) return TrashResult::NoTrash;
    QString inTrash;
    if (!QFile::moveToTrash(QString::fromStdString(*native), &inTrash)) return TrashResult::NoTrash;
    return TrashResult::Trashed;
}

}  // namespace kyro
