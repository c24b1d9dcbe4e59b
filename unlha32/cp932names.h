#pragma once
// Member names as CP932 bytes: folder separators, letter case and the safety rule for
// extraction. Every scan steps over two-byte characters, so a second byte 0x5C ("表" = 95 5C,
// "ソ" = 83 5C) is never taken for a "\" separator.

#include <string>
#include <string_view>
#include <vector>

namespace unlha {

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// "/", a single-byte "\" and 0xFF (the separator of extended folder headers) all become "/".
std::string NormaliseSeparators(std::string_view name);

// Splits a normalised name on "/"; empty parts are kept.
std::vector<std::string> SplitComponents(std::string_view name);

// ASCII letters folded to lower case; two-byte characters untouched.
std::string FoldAsciiCase(std::string_view name);

// A normalised name made relative to the output folder: a leading drive letter ("C:") and
// leading "/" dropped, as often as they come ("C:/a/x.mid" -> "a/x.mid"). Archivers on Windows
// store "\sub\x.mid"; such a member unpacks below the output folder instead of being lost.
std::string WithoutRootPrefix(std::string_view name);

// True when `name` (stored or asked for) is fit to become a path inside the output folder:
// not empty, no leading "/" or "\", no drive letter, no ".." component. Stored names never
// start with a separator or a drive letter (StoredName drops them); a name asked for that does
// is refused, since the program never asks so.
bool IsSafeMemberName(std::string_view name);

// The matching used by FindFirst and by extraction: "*" and "*.*" match everything; any other
// pattern matches a stored name (normalised) when it equals, without regard to ASCII case,
// the whole name, the name after its first "/" (as the program lists it) or after its last "/".
bool MemberNameMatches(std::string_view storedName, std::string_view pattern);

// How well a stored name matches: 2 the whole name (or a wildcard), 1 only a tail, 0 not at all.
int MemberNameMatchRank(std::string_view storedName, std::string_view pattern);

// Cuts a CP932 string to at most `maxBytes` bytes without leaving a lone lead byte.
std::string CutCp932(std::string_view text, size_t maxBytes);

}  // namespace unlha
