// The exported functions of libunlha32.so. Only the declarations of unlha32.h are visible
// outside the library (the target builds with hidden visibility).

#pragma GCC visibility push(default)
#include "unlha32.h"
#pragma GCC visibility pop

#include "archivereader.h"
#include "cp932names.h"
#include "dospath.h"
#include "extractcommand.h"
#include "unlhaerrors.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

static_assert(sizeof(INDIVIDUALINFO) == 560, "the program hands over a 560-byte member record");
static_assert(offsetof(INDIVIDUALINFO, szFileName) == 26, "the program reads the name at offset 26");

namespace {

constexpr uint16_t kVersion = 100;  // 1.00

// Calls in progress, for UnlhaGetRunning. A thread's own calls (a resolver that calls back
// into the library) do not count for it.
std::atomic<int> g_callsInside{0};
thread_local int t_callsInside = 0;

struct CallScope {
    CallScope() { ++t_callsInside; ++g_callsInside; }
    ~CallScope() { --g_callsInside; --t_callsInside; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
};

// An open archive: its members read once at opening, and the search position.
struct OpenArchive {
    std::vector<unlha::MemberInfo> members;  // up to the damage, if any
    bool damaged = false;
    std::string pattern;
    size_t next = 0;
};

// Handles given out and not yet closed; a stale or foreign handle is refused, not followed.
std::mutex g_handlesMutex;
std::set<OpenArchive*> g_handles;

OpenArchive* LiveHandle(HARC harc) {
    auto* archive = static_cast<OpenArchive*>(harc);
    return g_handles.count(archive) ? archive : nullptr;
}

std::optional<std::string> NativePath(const char* archive) {
    if (!archive) return std::nullopt;
    return unlha::ToNativePath(archive);
}

void DosStamp(unsigned int unixTime, uint16_t& date, uint16_t& time) {
    time_t t = unixTime;
    struct tm local {};
    if (!localtime_r(&t, &local) || local.tm_year < 80) {
        date = (1 << 5) | 1;  // 1980-01-01
        time = 0;
        return;
    }
    date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

void Fill(const unlha::MemberInfo& m, INDIVIDUALINFO* info) {
    std::memset(info, 0, sizeof *info);
    info->dwOriginalSize = m.length;
    info->dwCompressedSize = m.compressedLength;
    info->dwCRC = m.crc;
    info->uOSType = m.osType;
    uint64_t ratio = m.length ? uint64_t{m.compressedLength} * 1000 / m.length : 0;  // per mille
    info->wRatio = static_cast<uint16_t>(ratio > 0xFFFF ? 0xFFFF : ratio);
    DosStamp(m.timestamp, info->wDate, info->wTime);
    std::string name = unlha::CutCp932(m.name, UNLHA_FNAME_MAX32);
    std::memcpy(info->szFileName, name.data(), name.size());
    std::memcpy(info->szAttribute, "--a-", 4);
    std::memcpy(info->szMode, m.method.data(), std::min<size_t>(m.method.size(), sizeof info->szMode - 1));
}

// The next member from `archive->next` on that matches the pattern; when none, -1, or the
// damage code so that a caller looking for a name hears that the rest is lost.
int FindFrom(OpenArchive* archive, INDIVIDUALINFO* info) {
    while (archive->next < archive->members.size()) {
        const auto& m = archive->members[archive->next++];
        if (unlha::MemberNameMatches(m.name, archive->pattern)) {
            Fill(m, info);
            return 0;
        }
    }
    return archive->damaged ? UNLHA_ERROR_DAMAGED_ARCHIVE : -1;
}

void CopyMessage(const std::string& message, char* output, uint32_t size) {
    if (!output || size == 0) return;
    std::string cut = unlha::CutCp932(message, size - 1);
    std::memcpy(output, cut.c_str(), cut.size() + 1);
}

}  // namespace

extern "C" {

int UnlhaQueryFunctionList(int index) {
    switch (index) {
    case ISARC:
    case ISARC_GET_VERSION:
    case ISARC_SET_BACK_GROUND_MODE:
    case ISARC_SET_CURSOR_MODE:
    case ISARC_GET_RUNNING:
    case ISARC_CHECK_ARCHIVE:
    case ISARC_OPEN_ARCHIVE:
    case ISARC_CLOSE_ARCHIVE:
    case ISARC_FIND_FIRST:
    case ISARC_FIND_NEXT:
        return 1;
    default:
        return 0;
    }
}

uint16_t UnlhaGetVersion(void) { return kVersion; }

int UnlhaGetRunning(void) { return g_callsInside.load() - t_callsInside > 0 ? 1 : 0; }

// Every call runs to completion before it returns, so there is no mode to switch.
int UnlhaSetBackGroundMode(int) { return 1; }
int UnlhaSetCursorMode(int) { return 1; }

int UnlhaCheckArchive(const char* archive, int) {
    CallScope scope;
    auto native = NativePath(archive);
    if (!native) return 0;
    // Without a sound header liblhasa is not asked; with one, it reads the bytes the search
    // already holds.
    unlha::ArchiveStream stream(*native);
    return stream.Next() ? 1 : 0;
}

HARC UnlhaOpenArchive(void*, const char* archive, uint32_t) {
    CallScope scope;
    auto native = NativePath(archive);
    if (!native) return nullptr;
    unlha::ArchiveStream stream(*native);
    auto opened = std::make_unique<OpenArchive>();
    const unlha::ArchiveEnd end = unlha::ReadMemberList(stream, opened->members);
    if (end == unlha::ArchiveEnd::kNoArchive) return nullptr;
    opened->damaged = end == unlha::ArchiveEnd::kDamaged;
    std::lock_guard lock(g_handlesMutex);
    g_handles.insert(opened.get());
    return opened.release();
}

int UnlhaCloseArchive(HARC harc) {
    CallScope scope;
    std::lock_guard lock(g_handlesMutex);
    OpenArchive* archive = LiveHandle(harc);
    if (!archive) return -1;
    g_handles.erase(archive);
    delete archive;
    return 0;
}

int UnlhaFindFirst(HARC harc, const char* pattern, INDIVIDUALINFO* info) {
    CallScope scope;
    std::lock_guard lock(g_handlesMutex);
    OpenArchive* archive = LiveHandle(harc);
    if (!archive || !info) return -1;
    archive->pattern = pattern && *pattern ? pattern : "*";
    archive->next = 0;
    return FindFrom(archive, info);
}

int UnlhaFindNext(HARC harc, INDIVIDUALINFO* info) {
    CallScope scope;
    std::lock_guard lock(g_handlesMutex);
    OpenArchive* archive = LiveHandle(harc);
    if (!archive || !info) return -1;
    return FindFrom(archive, info);
}

int Unlha(void*, const char* cmdLine, char* output, uint32_t size) {
    CallScope scope;
    unlha::CommandResult result =
        cmdLine ? unlha::RunCommand(cmdLine) : unlha::CommandResult{unlha::kBadCommand, "no command"};
    CopyMessage(result.message, output, size);
    return result.code;
}

void UnlhaSetPathResolver(UnlhaPathResolver resolver) { unlha::SetPathResolver(resolver); }

}  // extern "C"
