#pragma once
// The kind of a song or document file, told from its name alone, and whether a song can be
// played with what start-up found (the archive library, RCP playback).

#include <string>
#include <string_view>

namespace kyro {

// Code 2 is not a kind: archive extraction uses it for "the path names no archive member".
enum class FileKind { Mid = 0, Rcp = 1, Lzh = 3, Document = 4, Other = 5 };

// What a name is asked about: songs (.MID, .RCP, .LZH) or documents (.DOC, .TXT...).
inline constexpr int kPurposeSongs = 1;
inline constexpr int kPurposeDocuments = 2;

// ASCII letters to upper case; two-byte CP932 characters are stepped over whole, so a second
// byte that happens to be a lower-case letter ("ノ" is 83 6D) stays as it is.
std::string UpperCaseCp932(std::string_view text);

// The kind by the first extension that occurs anywhere in the upper-cased name (not only at its
// end): songs .MID, .RCP, .LZH in that order; documents .DOC, .TXT, .HIS, .読, .毒. Any other
// purpose gives Other.
FileKind ClassifyFileName(const std::string& name, int purpose);

// False for a path with ".LZH" while the archive library is unavailable, or with ".RCP" while
// the sequencer cannot play RCP files; a member path such as D:\A.LZH->B.RCP needs both.
bool IsPlayable(const std::string& path, bool archiveAvailable, bool rcpPlayable);

}  // namespace kyro
