#pragma once
// The resume file KYROSTAT.dat in the program folder: the play queue and the position in it,
// saved at exit so that the next start continues the same order at the same song.
//
// Layout, 8-bit characters without separators: the position as four decimal digits ("%04d"),
// then the four characters of every queue entry in order. 4 + 4 x length bytes.

#include "app/playqueue.h"
#include "library/songlist.h"

#include <optional>
#include <string>
#include <string_view>

namespace kyro {

inline const char kResumeFileName[] = "KYROSTAT.dat";

struct ResumeState {
    PlayQueue queue;
    int queuePos = 0;
    bool operator==(const ResumeState&) const = default;
};

std::string ResumeFilePath(const std::string& programFolder);  // programFolder ends in "\"

std::string EncodeResumeState(const ResumeState& state);

// Every validity rule of the file: at least 4 bytes; every whole record four digits, its group
// '0'..'8' and its index below the group's current song count (the first bad record makes the
// file invalid; a short tail is ignored); the position not negative and below the number of
// records. Nothing when invalid.
std::optional<ResumeState> DecodeResumeState(std::string_view bytes, const SongList& songs);

// Replaces the file atomically. On failure shows "ﾌｧｲﾙ %s を作成できません" with the full path
// and the stop icon, and returns false.
bool SaveResumeState(const std::string& programFolder, const ResumeState& state);

// Nothing, without a message, when the file is missing, unreadable or invalid.
std::optional<ResumeState> LoadResumeState(const std::string& programFolder, const SongList& songs);

// What start-up does with the play order before showing the first song: try the resume file
// (and build a new queue when that fails), build a new queue, or neither (the current song stays
// the first song of Group1).
enum class ResumeAction { Resume, Build, Neither };

ResumeAction DecideResume(bool listEmpty, int groupMode, int listMode);

}  // namespace kyro
