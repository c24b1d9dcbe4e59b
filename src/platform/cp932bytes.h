#pragma once
// Shift-JIS (code page 932) bytes: to and from UTF-8 for native file names, and the rules of
// lead and trail bytes. Needs no Qt; cp932.h adds the conversions to and from QString.
//
// The program keeps every piece of data (paths, titles, group names, settings values) as CP932
// bytes in std::string and converts at the edges only.

#include <optional>
#include <string>
#include <string_view>

namespace kyro {

// CP932 bytes to UTF-8 bytes (native file names). Invalid bytes become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 bytes to CP932 bytes. Nothing when a character has no CP932 code or the input is not
// valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// True when byte b starts a two-byte CP932 character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The part of a DOS path after its last "\". Scanned from the start, because 0x5C is also the
// second byte of characters such as "表" (95 5C) and "ソ" (83 5C).
std::string FileNamePart(std::string_view dosPath);

// Equal without regard to the case of single-byte letters (names in profile files, file names).
// Two-byte characters compare exactly: the second byte of "ア" (83 41) is not an "A".
bool EqualsIgnoringCaseCp932(std::string_view a, std::string_view b);

// The order that goes with EqualsIgnoringCaseCp932: negative, 0 or positive as `a` sorts before,
// with or after `b`. Single-byte letters are folded to lower case, so "_" and the other signs
// between "Z" and "a" come before the letters, as in the case-insensitive order of Windows list
// boxes; two-byte characters compare by their bytes. Texts EqualsIgnoringCaseCp932 calls equal give 0.
int CompareIgnoringCaseCp932(std::string_view a, std::string_view b);

// The first `maxBytes` bytes of `text`, one byte shorter when the cut would leave the first byte
// of a two-byte character at the end. Lead bytes are found by scanning from the start.
std::string CutCp932(std::string_view text, std::size_t maxBytes);

}  // namespace kyro
