#include "platform/drivewalk.h"

#include "platform/cp932bytes.h"
#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

namespace kyro {

// The walk reads folders with readdir and its d_type rather than through ListFolder, which
// stats every entry and converts every name: on a whole disk that would cost several times the
// walk itself. Only folders about to be entered are opened and stat'ed, and only their names
// and the names that may be the file are converted to CP932.

namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// UTF-8 names equal without regard to the case of ASCII letters; every byte of a non-ASCII
// character is >= 0x80 and compares exactly.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The CP932 form of a native folder name; nothing when a DOS path cannot name it (CP932 cannot
// hold it, or it holds a "\", which a DOS path would read as a separator).
std::optional<std::string> FolderNameCp932(const std::string& native) {
    if (native.find('\\') != std::string::npos) return std::nullopt;
    if (IsAscii(native)) return native;  // ASCII is the same bytes in CP932
    return Utf8ToCp932(native);
}

std::string JoinNative(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Opens a folder for reading; a final link is followed only when asked. -1 when it cannot be read.
int OpenFolderAt(const std::string& native, bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    return ::open(native.c_str(), flags);
}

}  // namespace

DriveWalk::DriveWalk(const std::string& fileName, DriveMap drives) : drives_(std::move(drives)), fileName_(fileName) {
    for (const auto& [letter, folder] : drives_.Letters()) letters_.push_back(letter);  // A to Z
    // A name that no file on disk can have matches nothing: an empty one, one with a separator,
    // a hidden one, or one with bytes that are not CP932 (they convert to U+FFFD).
    const std::string utf8 = Cp932ToUtf8(fileName);
    const bool nameable = !utf8.empty() && utf8[0] != '.' && utf8.find_first_of("/\\") == std::string::npos &&
                          utf8.find("\xEF\xBF\xBD") == std::string::npos;
    if (nameable) fileNameUtf8_ = utf8;
}

DriveWalk::Step DriveWalk::Next() {
    OpenFolder folder;
    if (!OpenNextFolder(folder)) return Step::Finished;
    return Examine(folder);
}

bool DriveWalk::OpenNextFolder(OpenFolder& folder) {
    while (!levels_.empty()) {
        Level& top = levels_.back();
        if (top.next == top.subfolders.size()) {
            levels_.pop_back();
            continue;
        }
        const Subfolder& sub = top.subfolders[top.next++];
        if (OpenSubfolder(top, sub, folder)) return true;
    }
    return OpenNextDrive(folder);
}

bool DriveWalk::OpenNextDrive(OpenFolder& folder) {
    while (!letters_.empty()) {
        const char letter = letters_.front();
        letters_.erase(letters_.begin());
        if (!drives_.IsReady(letter)) continue;
        const std::string root = *drives_.NativeFolder(letter);
        char* resolved = ::realpath(root.c_str(), nullptr);
        if (!resolved) continue;
        const std::string realRoot = resolved;
        std::free(resolved);
        // A letter mapped to /proc or the like is not walked either; a drive already walked
        // under another letter, or inside another drive's folder, is not walked again.
        if (NativeAttributes(realRoot).system || InsideWalkedDrive(realRoot)) continue;
        const int fd = OpenFolderAt(realRoot, true);
        struct stat st {};
        if (fd < 0) continue;
        if (::fstat(fd, &st) != 0) {
            ::close(fd);
            continue;
        }
        folder = {realRoot, std::string{letter, ':', '\\'}, {st.st_dev, st.st_ino}, fd};
        walkedDrives_.push_back(folder.id);
        return true;
    }
    return false;
}

bool DriveWalk::IsWalkedDrive(const FolderId& id) const {
    return std::find(walkedDrives_.begin(), walkedDrives_.end(), id) != walkedDrives_.end();
}

bool DriveWalk::InsideWalkedDrive(const std::string& realFolder) const {
    std::string path = realFolder;
    for (;;) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && IsWalkedDrive({st.st_dev, st.st_ino})) return true;
        if (path == "/") return false;
        const auto slash = path.find_last_of('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
}

bool DriveWalk::OpenSubfolder(const Level& parent, const Subfolder& sub, OpenFolder& folder) const {
    const std::string native = JoinNative(parent.native, sub.native);
    // O_NOFOLLOW: a folder replaced by a link since it was listed is not entered either.
    const int fd = OpenFolderAt(native, false);
    if (fd < 0) return false;  // unreadable, or gone: passed over without a word
    struct stat st {};
    const bool opened = ::fstat(fd, &st) == 0;
    const FolderId id{st.st_dev, st.st_ino};
    // A walked drive's folder met again from a drive that holds it, or a folder on the way down
    // met again through a bind mount, would have its files walked twice, or for ever.
    const bool onTheWayDown = std::any_of(levels_.begin(), levels_.end(), [&](const Level& l) { return l.id == id; });
    const bool seen = IsWalkedDrive(id) || onTheWayDown;
    // Only a mount point can start a pseudo file system; checking there spares a statfs per folder.
    const bool system = opened && st.st_dev != parent.id.device && NativeAttributes(native).system;
    if (!opened || seen || system) {
        ::close(fd);
        return false;
    }
    folder = {native, parent.dos + sub.cp932 + '\\', id, fd};
    return true;
}

DriveWalk::Step DriveWalk::Examine(OpenFolder& folder) {
    currentFolder_ = folder.dos;
    DIR* dir = ::fdopendir(folder.fd);
    if (!dir) {
        ::close(folder.fd);
        return Step::Continue;
    }
    const int fd = ::dirfd(dir);
    const bool deeper = levels_.size() < kMaxDepth;
    std::vector<Subfolder> subfolders;
    bool found = false;
    while (const dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (name[0] == '.') continue;  // ".", ".." and hidden entries
        const unsigned char type = d->d_type == DT_UNKNOWN ? FolderEntryType(fd, name) : d->d_type;
        if (type == DT_DIR) {
            if (!deeper) continue;
            std::string native = name;
            if (auto cp932 = FolderNameCp932(native)) subfolders.push_back({std::move(*cp932), std::move(native)});
        } else if (IsSoughtFile(fd, name, type)) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    if (found) {
        levels_.clear();  // the search goes on with the next drive
        return Step::Found;
    }
    if (!subfolders.empty()) {
        std::sort(subfolders.begin(), subfolders.end(),
                  [](const Subfolder& a, const Subfolder& b) { return a.cp932 < b.cp932; });
        levels_.push_back({std::move(folder.native), std::move(folder.dos), folder.id, std::move(subfolders), 0});
    }
    return Step::Continue;
}

bool DriveWalk::IsSoughtFile(int folderFd, const char* name, unsigned char type) const {
    if (fileNameUtf8_.empty() || !EqualsIgnoringAsciiCase(name, fileNameUtf8_)) return false;
    // DOS names compare by their CP932 bytes: a character with two CP932 codes (NEC and IBM
    // extensions) matches only the code the disk's name converts to.
    const auto cp932 = Utf8ToCp932(name);
    if (!cp932 || !EqualsIgnoringCaseCp932(*cp932, fileName_)) return false;
    if (type == DT_REG) return true;
    if (type != DT_LNK && type != DT_UNKNOWN) return false;
    struct stat st {};  // a link to a file counts as that file
    return ::fstatat(folderFd, name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

}  // namespace kyro
