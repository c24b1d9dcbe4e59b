#pragma once
// The list editor's search and duplicate check over the display texts of the edited group, without
// widgets: each gives the entries to select.

#include <functional>
#include <string>
#include <vector>

namespace kyro {

// The entries whose text holds `needle`: byte for byte when `caseSensitive`, otherwise after both
// are upper-cased (single-byte letters only; two-byte characters stay as they are). A match starts
// at a character, never on the second byte of a two-byte one.
std::vector<bool> SearchEntries(const std::vector<std::string>& texts, const std::string& needle, bool caseSensitive);

struct DuplicateResult {
    std::vector<bool> marked;  // every later occurrence of a text; the first stays unmarked
    bool aborted = false;      // keepGoing said no; the marks made so far stay
};

// Texts equal byte for byte are duplicates. `keepGoing` is asked at every base index that is a
// multiple of 10 (0, 10, ...), after that base was compared (or passed over, being a later
// occurrence itself); false stops the check there. The last entry is never a base.
DuplicateResult MarkDuplicates(const std::vector<std::string>& texts, const std::function<bool(int base)>& keepGoing = {});

}  // namespace kyro
