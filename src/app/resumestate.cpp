#include "app/resumestate.h"

#include "app/playerstate.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"

#include <QString>

#include <algorithm>
#include <cstdio>

namespace kyro {

namespace {

constexpr std::size_t kRecordBytes = 4;
// A queue never holds more than nine full groups; a longer file was not written by us.
constexpr std::size_t kMaxResumeBytes = kRecordBytes + kRecordBytes * kMaxQueueLength;

// The position field as the old reader took it: leading blanks and a sign accepted, digits
// up to the first other character, no digits at all giving 0.
int ParsePosition(std::string_view field) {
    std::size_t k = 0;
    while (k < field.size() && (field[k] == ' ' || (field[k] >= '\t' && field[k] <= '\r'))) ++k;
    bool negative = false;
    if (k < field.size() && (field[k] == '+' || field[k] == '-')) {
        negative = field[k] == '-';
        ++k;
    }
    int value = 0;
    for (; k < field.size() && field[k] >= '0' && field[k] <= '9'; ++k) value = value * 10 + (field[k] - '0');
    return negative ? -value : value;
}

bool IsValidRecord(std::string_view record, const SongList& songs) {
    return IsWellFormedEntry(record) && EntryIndex(record) < songs.groups[EntryGroup(record)].Count();
}

}  // namespace

std::string ResumeFilePath(const std::string& programFolder) { return programFolder + kResumeFileName; }

std::string EncodeResumeState(const ResumeState& state) {
    char pos[8];
    // Four bytes always: a position outside 0..9999 cannot occur in a queue of at most 8991.
    std::snprintf(pos, sizeof pos, "%04d", std::clamp(state.queuePos, 0, 9999));
    std::string bytes(pos);
    bytes.reserve(kRecordBytes + kRecordBytes * state.queue.size());
    for (const auto& entry : state.queue) bytes += entry;
    return bytes;
}

std::optional<ResumeState> DecodeResumeState(std::string_view bytes, const SongList& songs) {
    if (bytes.size() < kRecordBytes || bytes.size() > kMaxResumeBytes) return std::nullopt;
    ResumeState state;
    state.queuePos = ParsePosition(bytes.substr(0, kRecordBytes));
    for (std::size_t at = kRecordBytes; at + kRecordBytes <= bytes.size(); at += kRecordBytes) {
        const std::string_view record = bytes.substr(at, kRecordBytes);
        if (!IsValidRecord(record, songs)) return std::nullopt;
        state.queue.emplace_back(record);
    }
    if (state.queuePos < 0 || state.queuePos >= static_cast<int>(state.queue.size())) return std::nullopt;
    return state;
}

bool SaveResumeState(const std::string& programFolder, const ResumeState& state) {
    const std::string path = ResumeFilePath(programFolder);
    if (WriteFileAtomic(path, EncodeResumeState(state))) return true;
    ShowMessage(QStringLiteral("ﾌｧｲﾙ %1 を作成できません").arg(Cp932ToQString(path)), MessageIcon::Stop);
    return false;
}

std::optional<ResumeState> LoadResumeState(const std::string& programFolder, const SongList& songs) {
    // One byte more than the limit, so that an over-long file is seen as such.
    auto bytes = ReadFileBytes(ResumeFilePath(programFolder), kMaxResumeBytes + 1);
    if (!bytes) return std::nullopt;
    return DecodeResumeState(*bytes, songs);
}

ResumeAction DecideResume(bool listEmpty, int groupMode, int listMode) {
    if (listEmpty) return ResumeAction::Build;
    switch (groupMode) {
    case kGroupAll:
    case kGroupSemiRandom:
    case kGroupSequential:
        return ResumeAction::Resume;
    case kGroupRandom:
        if (listMode == kListRandom) return ResumeAction::Neither;
        if (listMode == kListSemiRandom || listMode == kListSequential) return ResumeAction::Resume;
        return ResumeAction::Build;
    default:
        return ResumeAction::Build;
    }
}

}  // namespace kyro
