#include "editor/learntmoves.h"

#include "platform/cp932bytes.h"
#include "platform/drives.h"

#include <algorithm>
#include <cctype>

namespace kyro {

namespace {

// "X:\" followed by components, ending in a "\" that is a separator (not the second byte of a
// character such as "ソ", 83 5C).
bool IsDosFolder(const std::string& folder) {
    return folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
           folder[2] == '\\' && FileNamePart(folder).empty();
}

// "D:\MIDI\GAME\" -> "GAME".
std::string LastComponent(const std::string& folder) {
    return FileNamePart(std::string_view(folder).substr(0, folder.size() - 1));
}

}  // namespace

std::optional<FolderMove> DeriveMove(const std::string& oldFolder, const std::string& newFolder, const DriveMap& drives) {
    if (!IsDosFolder(oldFolder) || !IsDosFolder(newFolder) || !drives.NativeFolder(newFolder[0])) return std::nullopt;
    FolderMove move{oldFolder, newFolder};
    // The drive's root ("X:\") is never cut: it is where a move starts at the earliest.
    while (move.oldRoot.size() > 3 && move.newRoot.size() > 3) {
        const std::string oldName = LastComponent(move.oldRoot);
        const std::string newName = LastComponent(move.newRoot);
        if (!EqualsIgnoringCaseCp932(oldName, newName)) break;
        move.oldRoot.resize(move.oldRoot.size() - oldName.size() - 1);
        move.newRoot.resize(move.newRoot.size() - newName.size() - 1);
    }
    if (EqualsIgnoringCaseCp932(move.oldRoot, move.newRoot)) return std::nullopt;  // nothing moved
    return move;
}

std::optional<std::string> ApplyMove(const FolderMove& move, const std::string& storedPath) {
    const std::string& root = move.oldRoot;
    // The root ends in a separator, so a match ends at a component boundary.
    if (storedPath.size() <= root.size() || !EqualsIgnoringCaseCp932(std::string_view(storedPath).substr(0, root.size()), root))
        return std::nullopt;
    return move.newRoot + storedPath.substr(root.size());
}

void LearntMoves::BeginCheck() {
    for (LearntMove& learnt : moves_) {
        learnt.declined = false;
        learnt.relocated = 0;
    }
}

LearntMove& LearntMoves::Learn(const FolderMove& move) {
    for (LearntMove& learnt : moves_)
        if (EqualsIgnoringCaseCp932(learnt.move.oldRoot, move.oldRoot) &&
            EqualsIgnoringCaseCp932(learnt.move.newRoot, move.newRoot))
            return learnt;
    LearntMove& learnt = moves_.emplace_back();
    learnt.move = move;
    return learnt;
}

std::optional<LearntMoves::Relocation> LearntMoves::Relocate(const std::string& storedPath,
                                                             const std::function<bool(const std::string&)>& present) {
    // Longest old root first; of two moves from the same root, the later learnt first.
    std::vector<LearntMove*> order;
    for (auto it = moves_.rbegin(); it != moves_.rend(); ++it)
        if (!it->declined) order.push_back(&*it);
    std::stable_sort(order.begin(), order.end(), [](const LearntMove* a, const LearntMove* b) {
        return a->move.oldRoot.size() > b->move.oldRoot.size();
    });
    for (LearntMove* learnt : order)
        if (auto moved = ApplyMove(learnt->move, storedPath); moved && present(*moved))
            return Relocation{learnt, std::move(*moved)};
    return std::nullopt;
}

}  // namespace kyro
