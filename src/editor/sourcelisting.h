#pragma once
// The source list of the list editor: the loose songs of one folder and the song members of the
// archives in it, without widgets. Paths are DOS form, CP932.

#include <functional>
#include <string>
#include <vector>

namespace kyro {

class ArchiveLibrary;

struct SourceListingHooks {
    // Called for every 10th file (n = 0, 10, 20...) before it is looked at; false stops the
    // listing there, keeping what was found so far. The editor processes events and reads the
    // wait dialog's cancel flag here.
    std::function<bool(int n)> keepGoing;
    // An archive that cannot be listed: its failure message (CP932); the listing goes on.
    std::function<void(const std::string& message)> archiveFailed;
};

// The items of the source list for `dosFolder` (with or without a trailing "\"), sorted without
// regard to the case of single-byte letters (two-byte characters by their bytes): loose files
// whose kind the filter admits (kFilterMid, kFilterRcp, kFilterMidOrRcp), and for each .LZH file,
// while `library` is available, its members as ListArchiveMembers lists them ("PACK.LZH->x.mid").
// Folders, hidden and system entries, and names CP932 cannot hold are not listed.
std::vector<std::string> ListSourceFolder(const std::string& dosFolder, int filter, const ArchiveLibrary* library,
                                          const SourceListingHooks& hooks = {});

// The order of the source list: less than without regard to the case of single-byte letters.
// Letters are folded to lower case, so "_" sorts before them as in the old case-insensitive list
// box (CompareIgnoringCaseCp932); texts that differ only in case go by their bytes ("A.MID" before
// "a.mid"), so the order is total.
bool LessIgnoringCaseCp932(const std::string& a, const std::string& b);

}  // namespace kyro
