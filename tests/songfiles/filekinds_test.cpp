// Telling a file's kind from its name, and whether a song can be played.

#include "songfiles/filekinds.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

const std::string kYomi = "\x93\xC7";   // 読
const std::string kDoku = "\x93\xC5";   // 毒
const std::string kKyoku = "\x8B\xC8";  // 曲
const std::string kNo = "\x83\x6D";     // ノ: its second byte is "m"

TEST(FileKinds, UpperCasingStepsOverTwoByteCharacters) {
    EXPECT_EQ(UpperCaseCp932("song.mid"), "SONG.MID");
    EXPECT_EQ(UpperCaseCp932("a" + kNo + "b"), "A" + kNo + "B");
    EXPECT_EQ(UpperCaseCp932(kNo + kNo + ".mid"), kNo + kNo + ".MID");
    EXPECT_EQ(UpperCaseCp932("\xB1\xB2z"), "\xB1\xB2Z");  // half-width katakana are single bytes
    EXPECT_EQ(UpperCaseCp932("ab\x83"), "AB\x83");        // a lone lead byte at the end
}

TEST(FileKinds, SongKinds) {
    for (const char* name : {"SONG.mid", "song.MID", "A.MIDI", "SONG.MID.LZH", "D:\\X.LZH->b.mid", "x.mid.rcp"})
        EXPECT_EQ(ClassifyFileName(name, kPurposeSongs), FileKind::Mid) << name;
    for (const char* name : {"a.rcp", "D:\\A.LZH->B.RCP", "r.Rcp.lzh"})
        EXPECT_EQ(ClassifyFileName(name, kPurposeSongs), FileKind::Rcp) << name;
    EXPECT_EQ(ClassifyFileName("PACK.lzh", kPurposeSongs), FileKind::Lzh);
    for (const char* name : {"song.mi", "MID", "song.smf", "", "readme.txt"})
        EXPECT_EQ(ClassifyFileName(name, kPurposeSongs), FileKind::Other) << name;
    EXPECT_EQ(ClassifyFileName(kKyoku + ".mid", kPurposeSongs), FileKind::Mid);
}

TEST(FileKinds, DocumentKinds) {
    for (const std::string& name : {std::string("readme.txt"), std::string("HISTORY.HIS"), std::string("a.Doc"),
                                    kKyoku + "." + kYomi, "x." + kDoku, std::string("notes.txt.bak")}) {
        EXPECT_EQ(ClassifyFileName(name, kPurposeDocuments), FileKind::Document) << name;
        EXPECT_EQ(ClassifyFileName(name, kPurposeSongs), FileKind::Other) << name;
    }
    EXPECT_EQ(ClassifyFileName("song.mid", kPurposeDocuments), FileKind::Other);
    EXPECT_EQ(ClassifyFileName(kYomi, kPurposeDocuments), FileKind::Other) << "no dot before it";
}

TEST(FileKinds, OtherPurposesGiveOther) {
    EXPECT_EQ(ClassifyFileName("song.mid", 0), FileKind::Other);
    EXPECT_EQ(ClassifyFileName("readme.txt", 3), FileKind::Other);
    EXPECT_EQ(static_cast<int>(FileKind::Lzh), 3);
    EXPECT_EQ(static_cast<int>(FileKind::Other), 5);
}

TEST(FileKinds, Playability) {
    EXPECT_TRUE(IsPlayable("D:\\A.MID", false, false));
    EXPECT_FALSE(IsPlayable("D:\\a.lzh->b.mid", false, true));
    EXPECT_TRUE(IsPlayable("D:\\a.lzh->b.mid", true, false));
    EXPECT_FALSE(IsPlayable("D:\\song.rcp", true, false));
    EXPECT_TRUE(IsPlayable("D:\\song.rcp", false, true));
    // A member path needs both.
    EXPECT_FALSE(IsPlayable("D:\\A.LZH->B.RCP", true, false));
    EXPECT_FALSE(IsPlayable("D:\\A.LZH->B.RCP", false, true));
    EXPECT_TRUE(IsPlayable("D:\\A.LZH->B.RCP", true, true));
}

}  // namespace
}  // namespace kyro
