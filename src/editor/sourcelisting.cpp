#include "editor/sourcelisting.h"

#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/filekinds.h"

#include <algorithm>

namespace kyro {

namespace {

// How often the listing asks whether to go on: every this many files.
constexpr int kFilesPerCheck = 10;

bool IsPlainFile(const DirEntry& entry) { return !entry.isFolder && !entry.hidden && !entry.system; }

// Appends the song members of one archive. A failure is reported; a damaged archive still adds
// the members read before the damage.
void AddArchiveMembers(const ArchiveLibrary* library, const std::string& archivePath, int filter,
                       const SourceListingHooks& hooks, std::vector<std::string>& items) {
    std::vector<std::string> members;
    const int result = ListArchiveMembers(library, archivePath, members, ListingMode(kPurposeSongs, filter));
    if (result != kArchiveOk && !members.empty()) {
        // The message is the last string: the only one, or after the members of a damaged archive.
        if (hooks.archiveFailed) hooks.archiveFailed(members.back());
        members.pop_back();
    }
    if (result != kArchiveOk && result != kArchiveDamaged) return;
    items.insert(items.end(), std::make_move_iterator(members.begin()), std::make_move_iterator(members.end()));
}

}  // namespace

std::vector<std::string> ListSourceFolder(const std::string& dosFolder, int filter, const ArchiveLibrary* library,
                                          const SourceListingHooks& hooks) {
    std::vector<std::string> items;
    const auto entries = ListFolder(dosFolder);
    if (!entries) return items;
    const std::string folder = WithTrailingBackslash(dosFolder);  // "D:\" stays "D:\"

    int n = 0;
    for (const DirEntry& entry : *entries) {
        if (!IsPlainFile(entry)) continue;
        if (n % kFilesPerCheck == 0 && hooks.keepGoing && !hooks.keepGoing(n)) break;
        ++n;
        const FileKind kind = ClassifyFileName(entry.name, kPurposeSongs);
        if (kind == FileKind::Lzh) {
            if (library) AddArchiveMembers(library, folder + entry.name, filter, hooks, items);
        } else if (FilterAdmits(filter, kind)) {
            items.push_back(entry.name);
        }
    }
    std::stable_sort(items.begin(), items.end(), LessIgnoringCaseCp932);
    return items;
}

bool LessIgnoringCaseCp932(const std::string& a, const std::string& b) {
    const int order = CompareIgnoringCaseCp932(a, b);
    if (order != 0) return order < 0;
    return a < b;  // "A.MID" before "a.mid": a total order, the same on every run
}

}  // namespace kyro
