#pragma once
// FolderIndex: a few root folders read once, breadth first and to a bounded depth, keeping only
// what a search for certain names needs: where the files of those names are, and which folders
// of those names were left unread (below the depth limit, or past the folder budget), so that
// the search can look below them on the disk itself.
//
// Folders are entered as DriveWalk enters them: not hidden, not a link to a folder, not on a
// pseudo file system (proc, sysfs...), each real folder once however many roots reach it (a root
// inside another root, bind mounts). Names CP932 cannot hold are entered all the same: a folder
// found here becomes a drive's native folder, which no DOS path has to name. Directly below "/",
// the operating system's own folders (/usr, /etc, /var...) are left out: they hold no song
// collection and would cost most of the walk.

#include <sys/types.h>

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kyro {

struct FolderIndexLimits {
    std::size_t maxDepth = 6;        // a root is depth 0; folders deeper than this are not read
    std::size_t maxFolders = 50000;  // folders read in all, roots included
};

class FolderIndex {
public:
    struct File {
        std::string folder;  // native
        std::string name;    // as on disk
    };

    // `roots` are absolute native folders, read in the order given; `wantedNames` are names
    // folded by FoldAsciiCase. Files kept are plain files and links (to anything: the caller
    // checks what it finds).
    FolderIndex(const std::vector<std::string>& roots, std::unordered_set<std::string> wantedNames,
                FolderIndexLimits limits = {});

    // By folded name; empty when there is none.
    const std::vector<File>& FilesNamed(const std::string& folded) const;
    const std::vector<std::string>& UnreadFoldersNamed(const std::string& folded) const;  // native paths

    std::size_t FoldersRead() const { return foldersRead_; }

private:
    struct Pending {
        std::string path;
        std::size_t depth = 0;
        bool isRoot = false;
        dev_t parentDevice = 0;
    };

    void Read(const Pending& folder, std::vector<Pending>& nextLevel);
    void KeepUnread(const std::string& path);
    bool Wanted(std::string_view name, std::string& folded) const;

    std::unordered_set<std::string> wanted_;
    FolderIndexLimits limits_;
    std::unordered_map<std::string, std::vector<File>> files_;
    std::unordered_map<std::string, std::vector<std::string>> unreadFolders_;
    std::set<std::pair<dev_t, ino_t>> seen_;  // each folder read
    std::size_t foldersRead_ = 0;
};

// The name with ASCII letters in lower case, as the drive map compares names; the bytes of
// other characters (all >= 0x80 in UTF-8) stay.
std::string FoldAsciiCase(std::string_view name);

}  // namespace kyro
