#pragma once
// The program's layer over the archive library: listing the members of an archive, testing
// whether it holds a member, and unpacking the member a song path names into the temporary
// folder. Paths are DOS form, CP932. Failures come back as a result code with the message the
// caller shows or adds to a list (CP932 bytes, the archive path inside them as given).
//
// `library` is the loaded and checked library, or nullptr when it is not available. The layer
// keeps no state and deletes nothing; callers remove unpacked copies (tempcopy.h).

#include "songfiles/filekinds.h"  // the purposes of a listing mode

#include <string>
#include <vector>

namespace kyro {

class ArchiveLibrary;

// Results of ListArchiveMembers and FindArchiveMember.
inline constexpr int kArchiveOk = 0;
inline constexpr int kArchiveCheckFailed = -1;  // not a readable archive
inline constexpr int kArchiveOpenFailed = -2;   // the archive cannot be opened
inline constexpr int kArchiveNoMember = -3;     // listing: no first member; finding: no match
inline constexpr int kArchiveDamaged = -4;      // damaged after its first header: members past the damage are lost
inline constexpr int kArchiveUnavailable = 4;   // the library is not available

// Results of ExtractArchiveMember.
inline constexpr int kExtractOk = 0;
inline constexpr int kExtractNotMember = 2;  // the path names no archive member
inline constexpr int kExtractBusy = 3;       // the library is still at work; nothing was done
inline constexpr int kExtractFailed = 4;     // the library failed, or is not available

// Listing mode: the low byte is the purpose (1 songs, 2 documents); for songs the next byte is
// the filter, the index of the list editor's kind selector.
inline constexpr int kFilterMid = 0;
inline constexpr int kFilterRcp = 1;
inline constexpr int kFilterMidOrRcp = 2;
constexpr int ListingMode(int purpose, int filter = 0) { return (purpose & 0xFF) | ((filter & 0xFF) << 8); }

// Whether the kind selector's filter admits a song of this kind (any other filter admits none).
bool FilterAdmits(int filter, FileKind kind);

// The mode passed to the library when opening an archive for listing or finding.
inline constexpr unsigned kOpenArchiveMode = 0x00400202;

// Clears the list, then fills it with the accepted members. Songs are listed as the archive's
// file name, "->" and the member name ("PACK.LZH->song.mid"; the caller puts the folder in
// front); documents as the member name alone. A member name loses everything up to and
// including its first "/" ("a/b/c.mid" is listed as "b/c.mid"). On -1, -2 and -3 the list holds
// exactly the one failure message. On -4 it holds the accepted members read before the damage,
// then the failure message as its last string. Callers call it only while the library is
// available; without it the result is 4 and the list stays empty.
int ListArchiveMembers(const ArchiveLibrary* library, const std::string& archivePath,
                       std::vector<std::string>& list, int mode);

// 0 when the archive holds a member of the name given in `nameOrMessage`; otherwise the name is
// replaced by the failure message (4 without a library, touching nothing). -4: not among the
// members read before the damage, so it may be in the part that is lost.
int FindArchiveMember(const ArchiveLibrary* library, const std::string& archivePath, std::string& nameOrMessage);

// Unpacks the member named by a song path (archive "->" member, split at the first "->") into
// `tempFolder` (DOS form, ending in "\") with the library's extraction command. 0: output is
// tempFolder + member; 2: no "->", output is the song path itself; 3: busy, output unchanged;
// 4: the library failed (output is tempFolder + member all the same) or is not available
// (output unchanged).
int ExtractArchiveMember(const ArchiveLibrary* library, const std::string& songPath, const std::string& tempFolder,
                         std::string& output);

// The extraction command line exactly as the library receives it: no quotes around any part.
std::string ExtractCommandLine(const std::string& archive, const std::string& tempFolder, const std::string& member);

}  // namespace kyro
