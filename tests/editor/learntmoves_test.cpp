// The folder moves of the lost-file check: derived from one relocation, applied to stored paths,
// and chosen among several.

#include "editor/learntmoves.h"

#include "platform/drives.h"

#include <gtest/gtest.h>

#include <set>

namespace kyro {
namespace {

std::string Moved(const std::optional<FolderMove>& move) {
    return move ? move->oldRoot + " => " + move->newRoot : "none";
}

TEST(DeriveMove, SharedTrailingComponentsAreCut) {
    DriveMap drives;
    for (char letter : {'D', 'E', 'Z'}) drives.Set(letter, "/x");
    const std::string so = "\x83\x5C";  // "ソ": its second byte is "\"
    const struct {
        std::string oldFolder, newFolder, move;
    } cases[] = {
        {"D:\\MIDI\\GAME\\X\\", "Z:\\home\\u\\music\\GAME\\X\\", "D:\\MIDI\\ => Z:\\home\\u\\music\\"},
        {"D:\\MIDI\\GAME\\X\\", "Z:\\home\\u\\midi\\game\\x\\", "D:\\ => Z:\\home\\u\\"},  // case differs
        {"D:\\OLD\\", "E:\\NEW\\", "D:\\OLD\\ => E:\\NEW\\"},                                 // nothing shared
        {"D:\\SONGS\\", "e:\\songs\\", "D:\\ => e:\\"},                                       // a drive moved
        {"D:\\old\\" + so + "\\", "E:\\" + so + "\\", "D:\\old\\ => E:\\"},
        {"D:\\\x83\x41\\", "E:\\\x83\x61\\", "D:\\\x83\x41\\ => E:\\\x83\x61\\"},  // "ア" is not "ヂ"
        {"D:\\A\\", "Q:\\A\\B\\", "none"},                                          // Q: is not mapped
        {"D:\\A\\", "d:\\a\\", "none"},                                             // nothing moved
        {"\\A\\", "E:\\A\\", "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Moved(DeriveMove(c.oldFolder, c.newFolder, drives)), c.move) << c.oldFolder << " " << c.newFolder;
}

TEST(ApplyMove, OnlyPathsUnderTheOldRootMoveAndKeepTheirMember) {
    const FolderMove move{"D:\\LZH\\", "E:\\x\\"};
    EXPECT_EQ(ApplyMove(move, "D:\\LZH\\SUB\\PACK.LZH->Song.mid"), "E:\\x\\SUB\\PACK.LZH->Song.mid");
    EXPECT_EQ(ApplyMove(move, "d:\\lzh\\A.MID"), "E:\\x\\A.MID");
    EXPECT_EQ(ApplyMove(move, "D:\\LZHX\\A.MID"), std::nullopt);
}

TEST(LearntMoves, LongestRootWithTheFileWinsAndDeclinedMovesWaitForTheNextCheck) {
    LearntMoves moves;
    moves.Learn({"D:\\", "E:\\"});
    moves.Learn({"D:\\MIDI\\", "F:\\m\\"});
    const std::set<std::string> present = {"F:\\m\\A.MID", "E:\\MIDI\\A.MID", "E:\\MIDI\\B.MID"};
    const auto where = [&](const std::string& stored) {
        const auto found = moves.Relocate(stored, [&](const std::string& path) { return present.count(path) > 0; });
        return found ? found->path : "";
    };
    EXPECT_EQ(where("D:\\MIDI\\A.MID"), "F:\\m\\A.MID");
    EXPECT_EQ(where("D:\\MIDI\\B.MID"), "E:\\MIDI\\B.MID");
    moves.Learn({"d:\\midi\\", "f:\\M\\"}).declined = true;  // the same move
    EXPECT_EQ(where("D:\\MIDI\\A.MID"), "E:\\MIDI\\A.MID");
    moves.BeginCheck();
    EXPECT_EQ(where("D:\\MIDI\\A.MID"), "F:\\m\\A.MID");
}

}  // namespace
}  // namespace kyro
