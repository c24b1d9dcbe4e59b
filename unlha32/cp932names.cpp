#include "cp932names.h"

namespace unlha {

std::string NormaliseSeparators(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c) && i + 1 < name.size()) {
            out += name.substr(i, 2);
            ++i;
        } else if (c == '\\' || c == 0xFF) {
            out += '/';
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> SplitComponents(std::string_view name) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t slash = name.find('/', start);  // '/' is never a CP932 second byte
        parts.emplace_back(name.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos) return parts;
        start = slash + 1;
    }
}

std::string FoldAsciiCase(std::string_view name) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c)) {
            ++i;  // the second byte may be an ASCII letter code ("ア" = 83 41)
        } else if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string WithoutRootPrefix(std::string_view name) {
    // Each step leaves the name at a character's first byte, so the "/" or letter seen there
    // is a single-byte character, never a second byte.
    for (;;) {
        if (!name.empty() && name[0] == '/') {
            name.remove_prefix(1);
        } else if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') {
            name.remove_prefix(2);
        } else {
            return std::string(name);
        }
    }
}

bool IsSafeMemberName(std::string_view name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
    if (name.size() >= 2 && name[1] == ':') return false;  // ':' is never a second byte
    for (const auto& part : SplitComponents(NormaliseSeparators(name)))
        if (part == "..") return false;
    return true;
}

int MemberNameMatchRank(std::string_view storedName, std::string_view pattern) {
    if (pattern == "*" || pattern == "*.*") return 2;
    const std::string want = FoldAsciiCase(NormaliseSeparators(pattern));
    const std::string whole = FoldAsciiCase(NormaliseSeparators(storedName));
    if (whole == want) return 2;
    size_t first = whole.find('/');
    if (first == std::string::npos) return 0;
    if (whole.compare(first + 1, std::string::npos, want) == 0) return 1;
    return whole.compare(whole.rfind('/') + 1, std::string::npos, want) == 0 ? 1 : 0;
}

bool MemberNameMatches(std::string_view storedName, std::string_view pattern) {
    return MemberNameMatchRank(storedName, pattern) > 0;
}

std::string CutCp932(std::string_view text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        size_t step = IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + step > maxBytes) break;
        end += step;
    }
    return std::string(text.substr(0, end));
}

}  // namespace unlha
