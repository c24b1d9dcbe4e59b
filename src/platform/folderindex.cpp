#include "platform/folderindex.h"

#include "platform/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kyro {

// Folders are read with readdir and its d_type, as DriveWalk reads them: only folders about to
// be read are opened and stat'ed, and only names that may be wanted are kept.

namespace {

// The operating system's own folders directly below "/".
constexpr std::string_view kSystemFolders[] = {"bin", "boot", "dev",  "etc", "lib",  "lib32", "lib64", "libx32",
                                               "lost+found", "opt", "proc", "run", "sbin", "snap", "sys", "usr", "var"};

bool IsSystemFolder(const std::string& parent, std::string_view name) {
    return parent == "/" && std::find(std::begin(kSystemFolders), std::end(kSystemFolders), name) != std::end(kSystemFolders);
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder == "/" ? std::string() : folder;
    path += '/';
    path += name;
    return path;
}

std::string_view LastName(const std::string& path) {
    return std::string_view(path).substr(path.find_last_of('/') + 1);
}

// A root is entered through links (the home folder may be one), but not when it really is on a
// pseudo file system.
bool RootOnPseudoFileSystem(const std::string& root) {
    char* resolved = ::realpath(root.c_str(), nullptr);
    if (!resolved) return true;
    const bool system = NativeAttributes(resolved).system;
    std::free(resolved);
    return system;
}

}  // namespace

std::string FoldAsciiCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

FolderIndex::FolderIndex(const std::vector<std::string>& roots, std::unordered_set<std::string> wantedNames,
                         FolderIndexLimits limits)
    : wanted_(std::move(wantedNames)), limits_(limits) {
    // Level by level, so that the budget, when it runs out, leaves the deepest folders unread.
    std::vector<Pending> level;
    for (std::string root : roots) {
        while (root.size() > 1 && root.back() == '/') root.pop_back();  // the paths kept join with "/"
        level.push_back({std::move(root), 0, true, 0});
    }
    while (!level.empty()) {
        std::vector<Pending> nextLevel;
        for (const Pending& folder : level) {
            if (foldersRead_ < limits_.maxFolders)
                Read(folder, nextLevel);
            else
                KeepUnread(folder.path);
        }
        level = std::move(nextLevel);
    }
}

void FolderIndex::Read(const Pending& folder, std::vector<Pending>& nextLevel) {
    if (folder.isRoot && RootOnPseudoFileSystem(folder.path)) return;
    // O_NOFOLLOW: a folder replaced by a link since it was listed is not entered either.
    const int fd = ::open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (folder.isRoot ? 0 : O_NOFOLLOW));
    if (fd < 0) return;
    struct stat st {};
    const bool opened = ::fstat(fd, &st) == 0;
    // Only a mount point can start a pseudo file system; checking there spares a statfs per folder.
    const bool system = opened && !folder.isRoot && st.st_dev != folder.parentDevice &&
                        NativeAttributes(folder.path).system;
    if (!opened || system || !seen_.insert({st.st_dev, st.st_ino}).second) {
        ::close(fd);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    ++foldersRead_;
    const bool deeper = folder.depth < limits_.maxDepth;
    std::string folded;
    while (const dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (name[0] == '.') continue;  // ".", ".." and hidden entries
        const unsigned char type = d->d_type == DT_UNKNOWN ? FolderEntryType(::dirfd(dir), name) : d->d_type;
        if (type == DT_DIR) {
            if (IsSystemFolder(folder.path, name)) continue;
            if (deeper)
                nextLevel.push_back({Join(folder.path, name), folder.depth + 1, false, st.st_dev});
            else if (Wanted(name, folded))
                unreadFolders_[folded].push_back(Join(folder.path, name));
        } else if ((type == DT_REG || type == DT_LNK) && Wanted(name, folded)) {
            files_[folded].push_back({folder.path, name});
        }
    }
    ::closedir(dir);
}

void FolderIndex::KeepUnread(const std::string& path) {
    std::string folded;
    if (Wanted(LastName(path), folded)) unreadFolders_[folded].push_back(path);
}

bool FolderIndex::Wanted(std::string_view name, std::string& folded) const {
    folded = FoldAsciiCase(name);
    return wanted_.count(folded) != 0;
}

const std::vector<FolderIndex::File>& FolderIndex::FilesNamed(const std::string& folded) const {
    static const std::vector<File> kNone;
    const auto it = files_.find(folded);
    return it == files_.end() ? kNone : it->second;
}

const std::vector<std::string>& FolderIndex::UnreadFoldersNamed(const std::string& folded) const {
    static const std::vector<std::string> kNone;
    const auto it = unreadFolders_.find(folded);
    return it == unreadFolders_.end() ? kNone : it->second;
}

}  // namespace kyro
