#include "platform/tempfiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>

namespace kyro {

namespace {

WriteStepHook g_writeStepHook = nullptr;
ProcessLivenessHook g_livenessHook = nullptr;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

void SetWriteStepHook(WriteStepHook hook) { g_writeStepHook = hook; }

void WriteStepDone() {
    if (g_writeStepHook) g_writeStepHook();
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& nativePath) {
    const auto slash = nativePath.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : nativePath.substr(0, slash);
}

std::string FileNameOf(const std::string& nativePath) { return nativePath.substr(nativePath.find_last_of('/') + 1); }

// O_EXCL with the usual 0666 lets the umask decide the permissions, as for any new file.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath, const char* kind) {
    thread_local std::mt19937 generator{std::random_device{}()};
    const auto slash = target.find_last_of('/');
    const std::string folder = target.substr(0, slash + 1);
    const std::string name = target.substr(slash + 1, 200);  // room for the suffix within NAME_MAX
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
                   std::to_string(generator() % 1000000) + "." + kind;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            if (fd >= 0) WriteStepDone();
            return fd;
        }
    }
    return -1;
}

// A file its owner made read-only, or one this user may not write, is not replaced by a rename
// behind its back (the folder's permission would allow it).
bool MayReplace(const std::string& target, const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & 0222) != 0 && ::access(target.c_str(), W_OK) == 0;
}

std::optional<std::string> WriteTemporaryBeside(const std::string& target, const std::string& bytes) {
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !MayReplace(target, old)) return std::nullopt;
    std::string tempPath;
    const int fd = CreateTemporaryBeside(target, tempPath);
    if (fd < 0) return std::nullopt;
    bool ok = (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return std::nullopt;
    }
    WriteStepDone();
    return tempPath;
}

void SyncFolderOf(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename itself has happened either way
    ::close(fd);
}

std::string ResolveLinkTarget(const std::string& nativePath) {
    struct stat st {};
    if (::lstat(nativePath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return nativePath;
    char* resolved = ::realpath(nativePath.c_str(), nullptr);
    if (!resolved) return nativePath;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

// ".NAME.PID-N.KIND": the name may itself hold dots, so the fields are taken from the end.
std::optional<TemporaryName> ParseTemporaryName(const std::string& fileName) {
    if (fileName.size() < 2 || fileName[0] != '.') return std::nullopt;
    const auto kindDot = fileName.find_last_of('.');
    const auto idDot = kindDot == 0 ? std::string::npos : fileName.find_last_of('.', kindDot - 1);
    if (idDot == std::string::npos || idDot < 2) return std::nullopt;
    const std::string id = fileName.substr(idDot + 1, kindDot - idDot - 1);
    const auto dash = id.find('-');
    if (dash == std::string::npos || !AllDigits(id.substr(0, dash)) || !AllDigits(id.substr(dash + 1)) || dash > 9)
        return std::nullopt;
    TemporaryName parsed;
    parsed.target = fileName.substr(1, idDot - 1);
    parsed.pid = static_cast<pid_t>(std::stol(id.substr(0, dash)));
    parsed.kind = fileName.substr(kindDot + 1);
    if (parsed.pid <= 0 || parsed.kind.empty()) return std::nullopt;
    return parsed;
}

void SetProcessLivenessHook(ProcessLivenessHook isAlive) { g_livenessHook = isAlive; }

bool ProcessIsGone(pid_t pid) {
    if (g_livenessHook) return !g_livenessHook(pid);
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

}  // namespace kyro
