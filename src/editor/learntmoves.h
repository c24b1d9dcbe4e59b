#pragma once
// Folder moves the lost-file check learns from the relocations the user accepts. A collection
// that moved as a whole needs one answer: once one song of it has been found in its new place,
// the others are looked for there first, without a walk. All paths are DOS form, CP932.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kyro {

class DriveMap;

// What was under `oldRoot` is now under `newRoot`; both are folders ending in "\".
struct FolderMove {
    std::string oldRoot;
    std::string newRoot;
};

// The move that explains a song found in `newFolder` instead of `oldFolder` (both ending in
// "\"): the trailing components the two share, compared without regard to the case of
// single-byte letters, are cut from both ("D:\MIDI\GAME\X\" and "Z:\home\u\music\GAME\X\" give
// "D:\MIDI\" and "Z:\home\u\music\"). Nothing when the folders are the same, either is not a
// DOS folder, or the new root lies on a drive that `drives` does not map.
std::optional<FolderMove> DeriveMove(const std::string& oldFolder, const std::string& newFolder, const DriveMap& drives);

// `storedPath` (a song, or an archive "->" member) with the old root replaced by the new one;
// nothing when it does not lie under the old root.
std::optional<std::string> ApplyMove(const FolderMove& move, const std::string& storedPath);

struct LearntMove {
    FolderMove move;
    bool confirmed = false;  // may relocate songs without asking
    bool declined = false;   // the user said No: not used again in the current check
    int relocated = 0;       // songs it relocated in the current check
};

// The moves of one editor's life, across checks, in the order they were learnt.
class LearntMoves {
public:
    // A new check: declined moves may be offered again, and the counts start from 0.
    void BeginCheck();

    // The learnt move equal to `move` (without regard to case), added when there is none. The
    // reference is valid until the next Learn.
    LearntMove& Learn(const FolderMove& move);

    // Where `storedPath` lies now: the first move, longest old root first, that takes it to a
    // path for which `present` is true. Declined moves are passed over.
    struct Relocation {
        LearntMove* move;
        std::string path;
    };
    std::optional<Relocation> Relocate(const std::string& storedPath,
                                       const std::function<bool(const std::string&)>& present);

    const std::vector<LearntMove>& All() const { return moves_; }

private:
    std::vector<LearntMove> moves_;
};

}  // namespace kyro
