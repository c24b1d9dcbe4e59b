#include "library/songlist.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

SongEntry Song(int i) { return {"D:\\S" + std::to_string(i) + ".MID", "T" + std::to_string(i), '1'}; }

TEST(SongGroupTest, HoldsAtMost999AndKeepsTheSequencesTogether) {
    SongGroup group;
    for (int i = 0; i < kGroupCapacity; ++i) ASSERT_TRUE(group.Append(Song(i)));
    EXPECT_TRUE(group.Full());
    EXPECT_FALSE(group.Append(Song(999)));
    EXPECT_EQ(group.Count(), 999);

    group.Remove(1);
    EXPECT_EQ(group.Count(), 998);
    EXPECT_EQ(group.Path(1), "D:\\S2.MID");
    EXPECT_EQ(group.Title(1), "T2");

    group.Replace(0, {"E:\\X.MID", "X", '4'});
    group.SetTitle(2, "new");
    EXPECT_EQ(group.Entry(0).path, "E:\\X.MID");
    EXPECT_EQ(group.Map(0), '4');
    EXPECT_EQ(group.Title(2), "new");
}

TEST(SongGroupTest, PositionsOutsideTheGroupChangeNothing) {
    SongGroup group;
    group.Append(Song(0));
    SongGroup before = group;
    group.Remove(5);
    group.Remove(-1);
    group.Replace(1, Song(9));
    group.SetTitle(-3, "x");
    EXPECT_EQ(group, before);
}

TEST(SongListTest, StartsEmptyWithDefaultGroupNames) {
    SongList list;
    EXPECT_TRUE(list.Empty());
    EXPECT_EQ(list.groupNames[0], "Group1");
    EXPECT_EQ(list.groupNames[8], "Group9");
    list.groups[8].Append(Song(1));
    EXPECT_FALSE(list.Empty());
}

TEST(MapCodeTest, OnlyZeroToFour) {
    EXPECT_TRUE(IsMapCode('0'));
    EXPECT_TRUE(IsMapCode('4'));
    EXPECT_FALSE(IsMapCode('5'));
    EXPECT_FALSE(IsMapCode('D'));
}

}  // namespace
}  // namespace kyro
