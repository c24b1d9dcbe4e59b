#include "editor/entrymatch.h"

#include "platform/cp932.h"
#include "songfiles/filekinds.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace kyro {

namespace {

// How often the duplicate check asks whether to go on: at every this many base entries.
constexpr std::size_t kBasesPerCheck = 10;

// Whether `needle` starts at a character of `text`: a match that begins on the second byte of a
// two-byte character ("a" inside "ア", 83 41 after upper-casing "A") is no match.
bool HoldsAtCharacter(std::string_view text, std::string_view needle) {
    if (needle.size() > text.size()) return false;
    const std::size_t lastStart = text.size() - needle.size();
    for (std::size_t i = 0; i <= lastStart; ++i) {
        if (std::memcmp(text.data() + i, needle.data(), needle.size()) == 0) return true;
        if (IsCp932LeadByte(static_cast<unsigned char>(text[i]))) ++i;
    }
    return false;
}

}  // namespace

std::vector<bool> SearchEntries(const std::vector<std::string>& texts, const std::string& needle, bool caseSensitive) {
    std::vector<bool> found(texts.size(), false);
    const std::string wanted = caseSensitive ? needle : UpperCaseCp932(needle);
    for (std::size_t i = 0; i < texts.size(); ++i)
        found[i] = HoldsAtCharacter(caseSensitive ? texts[i] : UpperCaseCp932(texts[i]), wanted);
    return found;
}

DuplicateResult MarkDuplicates(const std::vector<std::string>& texts, const std::function<bool(int base)>& keepGoing) {
    const std::size_t count = texts.size();
    DuplicateResult result;
    result.marked.assign(count, false);
    if (count < 2) return result;

    // Each entry's next occurrence of the same text, so a base reaches its copies without
    // comparing it against every later entry (999 entries would take about 500,000 comparisons).
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> nextSame(count, kNone);
    std::unordered_map<std::string_view, std::size_t> lastSeen;
    lastSeen.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        auto [it, first] = lastSeen.try_emplace(texts[k], k);
        if (!first) {
            nextSame[it->second] = k;
            it->second = k;
        }
    }

    // Bases in order, as one pass comparing each unmarked base with every later entry would go:
    // an entry is marked by the first of its text, which is always an earlier base, so the marks
    // stand exactly as far as that pass would have got when keepGoing stops it.
    for (std::size_t base = 0; base + 1 < count; ++base) {
        if (!result.marked[base])
            for (std::size_t k = nextSame[base]; k != kNone; k = nextSame[k]) result.marked[k] = true;
        if (base % kBasesPerCheck == 0 && keepGoing && !keepGoing(static_cast<int>(base))) {
            result.aborted = true;
            break;
        }
    }
    return result;
}

}  // namespace kyro
