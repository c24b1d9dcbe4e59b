#include "platform/privatetempfolder.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kyro {

namespace {

constexpr char kPrefix[] = "kyrotune-";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr std::size_t kUniqueLength = 6;  // mkdtemp's XXXXXX
constexpr int kAttempts = 20;

// Depth first, never following a link or leaving the file system, so that nothing outside the
// folder can be reached from inside it.
void RemoveTree(const std::string& native) {
    auto removeOne = [](const char* path, const struct stat*, int, FTW*) {
        ::remove(path);  // what cannot be removed stays; the walk goes on
        return 0;
    };
    ::nftw(native.c_str(), removeOne, 16, FTW_DEPTH | FTW_PHYS | FTW_MOUNT);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return (folder.empty() || folder.back() != '/' ? folder + "/" : folder) + name;
}

}  // namespace

bool IsPrivateTempFolderName(const std::string& name) {
    return name.size() == kPrefixLength + kUniqueLength && name.compare(0, kPrefixLength, kPrefix) == 0;
}

int RemoveFoldersOfEndedRuns(const std::string& parentNative) {
    DIR* dir = ::opendir(parentNative.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsPrivateTempFolderName(entry->d_name)) continue;
        const std::string path = Joined(parentNative, entry->d_name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
        const FileLock lock(path, false);
        if (!lock.Held() || !lock.StillNames(path)) continue;  // a run that is still going
        RemoveTree(path);
        ++removed;
    }
    ::closedir(dir);
    return removed;
}

PrivateTempFolder::PrivateTempFolder(const std::string& parentNative) {
    RemoveFoldersOfEndedRuns(parentNative);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string pattern = Joined(parentNative, std::string(kPrefix) + std::string(kUniqueLength, 'X'));
        if (!::mkdtemp(pattern.data())) return;
        FileLock lock(pattern, false);
        // Another start's clean-up may take the new folder for an ended run's before it is
        // locked; then it is gone, or about to go, and another name is tried. Where the file
        // system keeps no locks the folder serves unlocked: removed at the end of the run, but
        // never by another.
        if ((lock.Held() && lock.StillNames(pattern)) || lock.Status() == FileLock::State::Unavailable) {
            native_ = std::move(pattern);
            lock_ = std::move(lock);
            return;
        }
    }
}

PrivateTempFolder::~PrivateTempFolder() { Remove(); }

PrivateTempFolder::PrivateTempFolder(PrivateTempFolder&& other) noexcept
    : native_(std::exchange(other.native_, {})), lock_(std::move(other.lock_)) {}

PrivateTempFolder& PrivateTempFolder::operator=(PrivateTempFolder&& other) noexcept {
    if (this != &other) {
        Remove();
        native_ = std::exchange(other.native_, {});
        lock_ = std::move(other.lock_);
    }
    return *this;
}

std::string PrivateTempFolder::Name() const { return native_.substr(native_.find_last_of('/') + 1); }

void PrivateTempFolder::Remove() {
    if (native_.empty()) return;
    // A locked folder that was removed and made again meanwhile is someone else's.
    if (!lock_.Held() || lock_.StillNames(native_)) RemoveTree(native_);
    native_.clear();
    lock_ = FileLock();
}

}  // namespace kyro
