#include "platform/filesystem.h"

#include <filesystem>

#include "platform/cp932bytes.h"
#include "platform/drives.h"
#include "platform/tempfiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace kyro {

namespace {

// ---- Attributes -----------------------------------------------------------------------------

// f_type values (linux/magic.h, plus the few it lacks) of file systems that hold no user files
// and must never be walked: the lost-file finder would otherwise enter /proc, /sys or /dev.
constexpr std::array<unsigned long, 18> kPseudoFileSystems = {
    0x9fa0,      // proc
    0x62656572,  // sysfs
    0x1cd1,      // devpts
    0x27e0eb,    // cgroup
    0x63677270,  // cgroup2
    0x64626720,  // debugfs
    0x74726163,  // tracefs
    0x73636673,  // securityfs
    0x6165676C,  // pstore
    0xcafe4a11,  // bpf
    0x62656570,  // configfs
    0x65735543,  // fusectl
    0x19800202,  // mqueue
    0x958458f6,  // hugetlbfs
    0x0187,      // autofs
    0x42494e4d,  // binfmt_misc
    0xde5e81e4,  // efivarfs
    0x9fa2,      // usbdevfs
};

// devtmpfs reports tmpfs's f_type, so /dev is recognised by the devices of its mounts instead.
std::set<dev_t> DevtmpfsDevices() {
    std::set<dev_t> devices;
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
        // "36 35 0:5 /dev /dev rw - devtmpfs udev rw": field 3 is major:minor, the file system
        // type follows the " - " separator.
        const auto dash = line.find(" - ");
        if (dash == std::string::npos || line.compare(dash + 3, 9, "devtmpfs ") != 0) continue;
        std::istringstream fields(line);
        std::string id, parent, majorMinor;
        fields >> id >> parent >> majorMinor;
        unsigned major = 0, minor = 0;
        if (std::sscanf(majorMinor.c_str(), "%u:%u", &major, &minor) == 2) devices.insert(makedev(major, minor));
    }
    return devices;
}

bool OnPseudoFileSystem(const std::string& nativeFolder, dev_t device) {
    struct statfs fs {};
    if (::statfs(nativeFolder.c_str(), &fs) == 0) {
        const auto type = static_cast<unsigned long>(fs.f_type);
        if (std::find(kPseudoFileSystems.begin(), kPseudoFileSystems.end(), type) != kPseudoFileSystems.end())
            return true;
    }
    static const std::set<dev_t> devtmpfs = DevtmpfsDevices();
    return devtmpfs.count(device) != 0;
}

std::string LastComponent(const std::string& nativePath) {
    std::string path = nativePath;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// ---- Paths ----------------------------------------------------------------------------------

std::optional<std::string> NativePath(const std::string& dosPath) { return ActiveDriveMap().ToNative(dosPath); }

std::optional<std::string> DosPath(const std::string& nativePath) { return ActiveDriveMap().ToDos(nativePath); }

std::string WithTrailingBackslash(std::string dosFolder) {
    // Scanned from the start: a final 0x5C may be the second byte of "ソ" (83 5C).
    bool endsWithBackslash = false;
    for (std::size_t i = 0; i < dosFolder.size(); ++i) {
        const auto b = static_cast<unsigned char>(dosFolder[i]);
        endsWithBackslash = b == '\\';
        if (IsCp932LeadByte(b)) ++i;
    }
    if (!endsWithBackslash) dosFolder += '\\';
    return dosFolder;
}

// ---- Tests of existence ---------------------------------------------------------------------

bool FileExists(const std::string& dosPath) {
    auto native = NativePath(dosPath);
    struct stat st {};
    return native && ::stat(native->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& dosPath) {
    auto native = NativePath(dosPath);
    struct stat st {};
    return native && ::stat(native->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileReadable(const std::string& dosPath) {
    if (!FileExists(dosPath)) return false;
    const int fd = ::open(NativePath(dosPath)->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// ---- Reading and writing --------------------------------------------------------------------

std::optional<std::string> ReadNativeFileBytes(const std::string& nativePath, std::size_t maxBytes) {
    // O_NONBLOCK: a FIFO or a device in a file's place must not hold the program at open(); it is
    // refused below, as no regular file.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(std::min<std::size_t>(maxBytes, static_cast<std::size_t>(std::max<off_t>(st.st_size, 0))));
    std::size_t done = 0;
    bool failed = false;
    // The size may change while reading; read until the end or the limit, whichever comes first.
    while (done < maxBytes) {
        if (done == bytes.size()) bytes.resize(std::min(maxBytes, done + 65536));
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) return std::nullopt;
    bytes.resize(done);
    return bytes;
}

std::optional<std::string> ReadFileBytes(const std::string& dosPath, std::size_t maxBytes) {
    auto native = NativePath(dosPath);
    if (!native) return std::nullopt;
    return ReadNativeFileBytes(*native, maxBytes);
}

bool WriteNativeFileAtomic(const std::string& nativePath, const std::string& bytes) {
    if (nativePath.empty() || nativePath.back() == '/') return false;
    const std::string target = ResolveLinkTarget(nativePath);
    auto temp = WriteTemporaryBeside(target, bytes);
    if (!temp) return false;
    if (::rename(temp->c_str(), target.c_str()) != 0) {
        ::unlink(temp->c_str());
        return false;
    }
    SyncFolderOf(target);
    return true;
}

ProbeResult ProbeNewFile(const std::string& dosPath) {
    auto native = NativePath(dosPath);
    if (!native) return ProbeResult::Failed;
    const int fd = ::open(native->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? ProbeResult::AlreadyExists : ProbeResult::Failed;
    ::close(fd);
    ::unlink(native->c_str());
    return ProbeResult::Created;
}

bool WriteFileAtomic(const std::string& dosPath, const std::string& bytes) {
    auto native = NativePath(dosPath);
    return native && WriteNativeFileAtomic(*native, bytes);
}

bool DeleteFileAt(const std::string& dosPath) {
    auto native = NativePath(dosPath);
    struct stat st {};
    if (!native || ::lstat(native->c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(native->c_str()) == 0;
}

// ---- Folders --------------------------------------------------------------------------------

DirEntry NativeAttributes(const std::string& nativePath) {
    DirEntry entry;
    const std::string name = LastComponent(nativePath);
    entry.name = Utf8ToCp932(name).value_or(std::string());
    entry.hidden = !name.empty() && name[0] == '.';

    struct stat link {};
    if (::lstat(nativePath.c_str(), &link) != 0) return entry;
    struct stat st = link;
    const bool isLink = S_ISLNK(link.st_mode);
    if (isLink && ::stat(nativePath.c_str(), &st) != 0) return entry;  // a broken link: a file that cannot be opened
    entry.isFolder = S_ISDIR(st.st_mode);
    if (entry.isFolder) entry.system = isLink || OnPseudoFileSystem(nativePath, st.st_dev);
    return entry;
}

std::optional<std::vector<DirEntry>> ListFolder(const std::string& dosFolder) {
    auto native = NativePath(dosFolder);
    if (!native) return std::nullopt;
    DIR* dir = ::opendir(native->c_str());
    if (!dir) return std::nullopt;
    std::string prefix = *native;
    if (prefix.back() != '/') prefix += '/';

    std::vector<DirEntry> entries;
    while (const dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry = NativeAttributes(prefix + name);
        if (entry.name.empty()) continue;  // CP932 cannot hold the name: it is not shown at all
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

std::string ExecutableFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

unsigned char FolderEntryType(int folderFd, const char* name) {
    struct stat st {};
    if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
    if (S_ISDIR(st.st_mode)) return DT_DIR;
    if (S_ISREG(st.st_mode)) return DT_REG;
    if (S_ISLNK(st.st_mode)) return DT_LNK;
    return DT_UNKNOWN;
}

}  // namespace kyro
