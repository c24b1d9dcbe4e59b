#include "songfiles/archiveaccess.h"

#include "platform/cp932bytes.h"
#include "songfiles/archivelibrary.h"
#include "songfiles/filekinds.h"

#include <cstddef>
#include <cstring>

namespace kyro {

static_assert(sizeof(INDIVIDUALINFO) == 560, "the library fills a 560-byte member record");
static_assert(offsetof(INDIVIDUALINFO, szFileName) == 26, "the member name is read at offset 26");

namespace {

constexpr char kAbnormalFile[] = "ﾌｧｲﾙが異常です。";
constexpr char kNoSuchFile[] = "該当ファイルが存在しません。";
constexpr char kLibraryNotLoaded[] = "UNLHA32.DLLが読み込まれていまん。";
constexpr char kMemberSeparator[] = "->";
constexpr std::size_t kCommandOutputSize = 200;

std::string ToCp932(const char* utf8) { return Utf8ToCp932(utf8).value_or(std::string()); }

// "<headline>\n<step>\n\n[ <archive> ]"; the archive path is CP932 already.
std::string FailureMessage(const char* headline, const char* step, const std::string& archivePath) {
    return ToCp932(headline) + "\n" + step + "\n\n[ " + archivePath + " ]";
}

// The archive is damaged after the members found so far.
std::string DamagedMessage(const std::string& archivePath) {
    return FailureMessage(kAbnormalFile, "FindNext", archivePath);
}

// The member name of a record, without the folder part up to its first "/".
std::string ListedMemberName(const INDIVIDUALINFO& info) {
    std::string name(info.szFileName, strnlen(info.szFileName, sizeof info.szFileName));
    const std::size_t slash = name.find('/');  // 0x2F is never a second byte
    if (slash != std::string::npos) name.erase(0, slash + 1);
    return name;
}

// The list entry for a member, or "" when the mode does not accept it.
std::string ListEntry(const std::string& archiveName, const std::string& member, int mode) {
    const int purpose = mode & 0xFF;
    if (purpose == kPurposeSongs && FilterAdmits((mode >> 8) & 0xFF, ClassifyFileName(member, kPurposeSongs)))
        return archiveName + kMemberSeparator + member;
    if (purpose == kPurposeDocuments && ClassifyFileName(member, kPurposeDocuments) == FileKind::Document)
        return member;
    return {};
}

// Background mode on, cursor mode off, then the check and the opening shared by listing and
// finding. Returns the handle, or nothing with `result` and `message` set.
HARC CheckAndOpen(const ArchiveFunctions& fn, const std::string& archivePath, int& result, std::string& message) {
    fn.SetBackGroundMode(1);
    fn.SetCursorMode(0);
    if (!fn.CheckArchive(archivePath.c_str(), 0)) {
        result = kArchiveCheckFailed;
        message = FailureMessage(kAbnormalFile, "CheckArchive ERROR", archivePath);
        return nullptr;
    }
    HARC archive = fn.OpenArchive(nullptr, archivePath.c_str(), kOpenArchiveMode);
    if (!archive) {
        result = kArchiveOpenFailed;
        message = FailureMessage(kAbnormalFile, "OpenArchive", archivePath);
    }
    return archive;
}

}  // namespace

bool FilterAdmits(int filter, FileKind kind) {
    switch (filter) {
    case kFilterMid: return kind == FileKind::Mid;
    case kFilterRcp: return kind == FileKind::Rcp;
    case kFilterMidOrRcp: return kind == FileKind::Mid || kind == FileKind::Rcp;
    default: return false;
    }
}

int ListArchiveMembers(const ArchiveLibrary* library, const std::string& archivePath,
                       std::vector<std::string>& list, int mode) {
    list.clear();
    if (!library) return kArchiveUnavailable;
    const ArchiveFunctions& fn = library->Functions();
    int result = kArchiveOk;
    std::string message;
    HARC archive = CheckAndOpen(fn, archivePath, result, message);
    if (!archive) {
        list.push_back(message);
        return result;
    }
    INDIVIDUALINFO info {};
    int found = fn.FindFirst(archive, "*.*", &info);
    if (found != 0 && found != UNLHA_ERROR_DAMAGED_ARCHIVE) {
        fn.CloseArchive(archive);
        list.push_back(FailureMessage(kAbnormalFile, "FindFirst", archivePath));
        return kArchiveNoMember;
    }
    const std::string archiveName = FileNamePart(archivePath);
    while (found == 0) {
        std::string entry = ListEntry(archiveName, ListedMemberName(info), mode);
        if (!entry.empty()) list.push_back(std::move(entry));
        std::memset(&info, 0, sizeof info);
        found = fn.FindNext(archive, &info);
    }
    fn.CloseArchive(archive);
    if (found != UNLHA_ERROR_DAMAGED_ARCHIVE) return kArchiveOk;
    list.push_back(DamagedMessage(archivePath));
    return kArchiveDamaged;
}

int FindArchiveMember(const ArchiveLibrary* library, const std::string& archivePath, std::string& nameOrMessage) {
    if (!library) {
        nameOrMessage = ToCp932(kLibraryNotLoaded);
        return kArchiveUnavailable;
    }
    const ArchiveFunctions& fn = library->Functions();
    int result = kArchiveOk;
    std::string message;
    HARC archive = CheckAndOpen(fn, archivePath, result, message);
    if (!archive) {
        nameOrMessage = message;
        return result;
    }
    INDIVIDUALINFO info {};
    const int found = fn.FindFirst(archive, nameOrMessage.c_str(), &info);
    fn.CloseArchive(archive);
    if (found == 0) return kArchiveOk;
    if (found == UNLHA_ERROR_DAMAGED_ARCHIVE) {
        nameOrMessage = DamagedMessage(archivePath);
        return kArchiveDamaged;
    }
    nameOrMessage = FailureMessage(kNoSuchFile, "FindFirst", archivePath);
    return kArchiveNoMember;
}

std::string ExtractCommandLine(const std::string& archive, const std::string& tempFolder, const std::string& member) {
    return "e -n1 " + archive + " " + tempFolder + " " + member;
}

int ExtractArchiveMember(const ArchiveLibrary* library, const std::string& songPath, const std::string& tempFolder,
                         std::string& output) {
    const std::size_t split = songPath.find(kMemberSeparator);  // neither byte is ever a second byte
    if (split == std::string::npos) {
        output = songPath;
        return kExtractNotMember;
    }
    const std::string archive = songPath.substr(0, split);
    const std::string member = songPath.substr(split + 2);
    if (!library) return kExtractFailed;
    const ArchiveFunctions& fn = library->Functions();
    if (fn.GetRunning()) return kExtractBusy;
    fn.SetBackGroundMode(1);
    fn.SetCursorMode(0);
    char commandOutput[kCommandOutputSize] = {};  // the library's report; not read
    const int status = fn.Command(nullptr, ExtractCommandLine(archive, tempFolder, member).c_str(), commandOutput,
                                  kCommandOutputSize);
    output = tempFolder + member;
    return status == 0 ? kExtractOk : kExtractFailed;
}

}  // namespace kyro
