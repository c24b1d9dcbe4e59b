// The play order: the generator's exact sequence, every row of the mode table, the skipping of
// songs this machine cannot play, the no-song handling and the ends of the queue. The expected
// queues for a seed were worked out by hand from the generator's definition (a separate script),
// so a change in the order or number of draws shows up here.

#include "app/lcgrandom.h"
#include "app/playorder.h"
#include "support/messagerecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

namespace kyro {
namespace {

using test::MessageRecorder;

const QString kNoSongText = QStringLiteral("演奏する曲がありません。");

std::string SongPath(int g, int i) { return "D:\\MIDI\\G" + std::to_string(g) + "S" + std::to_string(i) + ".MID"; }

class PlayOrderTest : public ::testing::Test {
protected:
    PlayOrderTest() {
        Fill({3, 0, 4, 2, 0, 0, 1, 0, 0});
        order.SetEnvironment(false, false);
    }

    void Fill(const std::vector<int>& counts) {
        for (int g = 0; g < kGroupCount; ++g) {
            songs.groups[g].Clear();
            for (int i = 0; i < counts[g]; ++i) songs.groups[g].Append({SongPath(g, i), "", '0'});
        }
    }
    void Modes(int list, int group) {
        settings.listRandomType = list;
        settings.groupRandomType = group;
    }
    void SetPath(int g, int i, const std::string& path) { songs.groups[g].Replace(i, {path, "", '0'}); }
    void MakeUnplayable(int g, int i) { SetPath(g, i, "D:\\LZH\\PACK.LZH->G" + std::to_string(g) + ".MID"); }
    std::pair<int, int> Current() const { return {order.CurGroup(), order.CurIndex()}; }

    SongList songs;
    Settings settings;
    std::uint32_t now = 1000;
    PlayOrder order{songs, settings, [this] { return now; }};
    MessageRecorder messages;
};

// --- The generator ---

TEST(LcgRandomTest, FirstDrawsOfKnownSeeds) {
    LcgRandom a(12345);
    for (int expected : {15301, 24996, 10921, 23577, 19316}) EXPECT_EQ(a.Draw(), expected);
    LcgRandom b(1);
    for (int expected : {346, 130, 10982}) EXPECT_EQ(b.Draw(), expected);
    LcgRandom c(0xFFFFFFFFu);  // the product wraps modulo 2^32
    EXPECT_EQ(c.Draw(), 32421);
}

TEST(LcgRandomTest, DrawBelowTakesTheDrawModuloN) {
    LcgRandom r(1);
    EXPECT_EQ(r.DrawBelow(9), 346 % 9);  // 4; a scaled draw would give 0
    EXPECT_EQ(r.DrawBelow(100), 30);
    LcgRandom s(1);
    s.Seed(1);
    EXPECT_EQ(s.Draw(), 346);
}

// --- The mode table, row by row ---

TEST_F(PlayOrderTest, RandomRandomQueuesOneRandomSongAndPicksAgainOnNext) {
    Modes(kListRandom, kGroupRandom);
    order.Random().Seed(5);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"3000"}));
    EXPECT_EQ(Current(), std::make_pair(3, 0));
    EXPECT_TRUE(order.NextSong());  // a fresh pick from the same generator
    EXPECT_EQ(order.Queue(), PlayQueue({"6000"}));
    EXPECT_EQ(Current(), std::make_pair(6, 0));
    EXPECT_FALSE(order.PreviousSong());
    EXPECT_EQ(Current(), std::make_pair(6, 0));
}

TEST_F(PlayOrderTest, SemiRandomInRandomGroupShufflesOneGroup) {
    Modes(kListSemiRandom, kGroupRandom);
    order.Random().Seed(9);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"2001", "2003", "2000", "2002"}));
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(order.NextSong());
    EXPECT_EQ(order.QueuePos(), 3);
    EXPECT_EQ(Current(), std::make_pair(2, 2));
    EXPECT_TRUE(order.PreviousSong());
    EXPECT_EQ(order.QueuePos(), 2);
    EXPECT_EQ(Current(), std::make_pair(2, 0));
    EXPECT_TRUE(order.NextSong());
    EXPECT_TRUE(order.NextSong());  // past the end: a new random group, shuffled
    EXPECT_EQ(order.QueuePos(), 0);
    const int g = EntryGroup(order.Queue().front());
    EXPECT_EQ(static_cast<int>(order.Queue().size()), songs.groups[g].Count());
}

TEST_F(PlayOrderTest, SemiRandomGroupsReseedFromTheClockAtEachBuild) {
    Modes(kListSemiRandom, kGroupSemiRandom);
    order.Random().Seed(77);  // overridden by the clock
    ASSERT_TRUE(order.BuildPlayQueue());
    const PlayQueue expected{"6000", "0001", "0000", "0002", "2000", "2003", "2001", "2002", "3001", "3000"};
    EXPECT_EQ(order.Queue(), expected);
    ASSERT_TRUE(order.BuildPlayQueue());  // the same second: the same order
    EXPECT_EQ(order.Queue(), expected);
    now = 1001;
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_NE(order.Queue(), expected);
    EXPECT_EQ(order.Queue().size(), expected.size());
}

TEST_F(PlayOrderTest, SemiRandomInSequentialGroupsShufflesEachGroupInGroupOrder) {
    Modes(kListSemiRandom, kGroupSequential);
    order.Random().Seed(5);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(),
              PlayQueue({"0000", "0001", "0002", "2003", "2001", "2002", "2000", "3000", "3001", "6000"}));
}

TEST_F(PlayOrderTest, SequentialInRandomGroupTakesOneGroupInListOrder) {
    Modes(kListSequential, kGroupRandom);
    order.Random().Seed(9);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"2000", "2001", "2002", "2003"}));
}

TEST_F(PlayOrderTest, SequentialInSemiRandomGroupsOrdersGroupsByTheClock) {
    Modes(kListSequential, kGroupSemiRandom);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(),
              PlayQueue({"6000", "0000", "0001", "0002", "3000", "3001", "2000", "2001", "2002", "2003"}));
    now = 1001;
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(),
              PlayQueue({"6000", "2000", "2001", "2002", "2003", "0000", "0001", "0002", "3000", "3001"}));
}

TEST_F(PlayOrderTest, SequentialSequentialRepeatsTheSameOrder) {
    Modes(kListSequential, kGroupSequential);
    ASSERT_TRUE(order.BuildPlayQueue());
    const PlayQueue expected{"0000", "0001", "0002", "2000", "2001", "2002", "2003", "3000", "3001", "6000"};
    EXPECT_EQ(order.Queue(), expected);
    for (int k = 1; k < 10; ++k) ASSERT_TRUE(order.NextSong());
    EXPECT_EQ(Current(), std::make_pair(6, 0));
    EXPECT_TRUE(order.NextSong());  // a new pass
    EXPECT_EQ(order.QueuePos(), 0);
    EXPECT_EQ(order.Queue(), expected);
    EXPECT_EQ(Current(), std::make_pair(0, 0));
}

TEST_F(PlayOrderTest, SemiRandomAllShufflesEverySongOfTheEnabledGroups) {
    Modes(kListSemiRandomAll, kGroupAll);
    order.Random().Seed(5);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(),
              PlayQueue({"0001", "2003", "3001", "2002", "0002", "6000", "3000", "2001", "0000", "2000"}));
    EXPECT_EQ(Current(), std::make_pair(0, 1));

    settings.groupSel = kAllGroups & ~(1 << 2);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue().size(), 6u);
    for (const auto& e : order.Queue()) EXPECT_NE(EntryGroup(e), 2) << e;
}

TEST_F(PlayOrderTest, DisabledGroupsAreNeverQueued) {
    Modes(kListSequential, kGroupSequential);
    settings.groupSel = (1 << 0) | (1 << 6);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"0000", "0001", "0002", "6000"}));
}

TEST_F(PlayOrderTest, PairingsTheSettingsDialogNeverWritesAreNoSong) {
    const std::vector<std::pair<int, int>> pairings{
        {kListSemiRandomAll, kGroupRandom}, {kListSemiRandomAll, kGroupSequential}, {kListRandom, kGroupSemiRandom},
        {kListRandom, kGroupAll},           {kListSequential, kGroupAll},          {7, kGroupRandom},
        {kListSemiRandom, 5}};
    for (auto [list, group] : pairings) {
        SCOPED_TRACE(testing::Message() << "list " << list << " group " << group);
        MessageRecorder recorder;
        Modes(list, group);
        EXPECT_FALSE(order.BuildPlayQueue());
        EXPECT_TRUE(order.Queue().empty());
        EXPECT_TRUE(order.NoList());
        EXPECT_EQ(recorder.Texts(), std::vector<QString>{kNoSongText});
        EXPECT_FALSE(order.NextSong());
        EXPECT_EQ(Current(), std::make_pair(0, 0));
    }
}

// --- Shuffling a group ---

TEST_F(PlayOrderTest, AddShuffledGroupGivesThePermutationOfTheSeed) {
    Fill({0, 0, 6, 0, 0, 0, 0, 0, 0});
    order.Random().Seed(7);
    order.AddShuffledGroup(2);
    EXPECT_EQ(order.Queue(), PlayQueue({"2000", "2005", "2002", "2003", "2004", "2001"}));
}

TEST_F(PlayOrderTest, AddShuffledGroupHoldsEveryIndexOnce) {
    for (int count : {3, 999}) {
        Fill({0, 0, 0, 0, 0, 0, 0, 0, count});
        PlayOrder fresh(songs, settings, [] { return 42u; });
        fresh.Random().Seed(static_cast<std::uint32_t>(count));
        fresh.AddShuffledGroup(8);
        std::set<int> indexes;
        for (const auto& e : fresh.Queue()) {
            EXPECT_EQ(EntryGroup(e), 8);
            indexes.insert(EntryIndex(e));
        }
        EXPECT_EQ(static_cast<int>(fresh.Queue().size()), count);
        EXPECT_EQ(static_cast<int>(indexes.size()), count);
        EXPECT_EQ(*indexes.rbegin(), count - 1);
    }
}

// --- Songs this machine cannot play ---

TEST_F(PlayOrderTest, NextSongSkipsArchivesWithoutTheLibraryAndRcpWithoutItsPlayback) {
    Modes(kListSequential, kGroupSequential);
    MakeUnplayable(0, 1);
    SetPath(0, 2, "D:\\RCP\\SONG.RCP");
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_TRUE(order.NextSong());
    EXPECT_EQ(order.QueuePos(), 3);
    EXPECT_EQ(Current(), std::make_pair(2, 0));

    order.SetEnvironment(true, false);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_TRUE(order.NextSong());
    EXPECT_EQ(Current(), std::make_pair(0, 1));
    EXPECT_TRUE(order.NextSong());
    EXPECT_EQ(Current(), std::make_pair(2, 0));  // the RCP file is still skipped
}

TEST_F(PlayOrderTest, AnRcpMemberOfAnArchiveNeedsBoth) {
    Fill({1, 0, 0, 0, 0, 0, 0, 0, 0});
    SetPath(0, 0, "D:\\A.LZH->B.RCP");
    Modes(kListSequential, kGroupSequential);
    order.SetEnvironment(true, false);
    EXPECT_FALSE(order.BuildPlayQueue());
    order.SetEnvironment(false, true);
    EXPECT_FALSE(order.BuildPlayQueue());
    order.SetEnvironment(true, true);
    EXPECT_TRUE(order.BuildPlayQueue());
    EXPECT_TRUE(order.CurrentSongValid());
}

TEST_F(PlayOrderTest, AQueueOfOnlyUnplayableSongsIsNoSong) {
    Fill({2, 0, 0, 0, 0, 0, 0, 0, 0});
    MakeUnplayable(0, 0);
    MakeUnplayable(0, 1);
    Modes(kListSequential, kGroupSequential);
    EXPECT_FALSE(order.HasPlayableEntry());  // an empty queue has none either
    EXPECT_FALSE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue().size(), 2u);
    EXPECT_EQ(order.QueuePos(), 0);
    EXPECT_EQ(messages.Texts(), std::vector<QString>({kNoSongText, kNoSongText}));
}

TEST_F(PlayOrderTest, RandomPickWalksOnToTheNextPlayableSong) {
    Modes(kListRandom, kGroupRandom);
    for (int i = 1; i < 4; ++i) MakeUnplayable(2, i);  // seed 9 draws group 2, index 1
    order.Random().Seed(9);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"3000"}));
}

TEST_F(PlayOrderTest, RandomPickWalksPastDisabledGroups) {
    Modes(kListRandom, kGroupRandom);
    for (int i = 1; i < 4; ++i) MakeUnplayable(2, i);
    settings.groupSel = kAllGroups & ~(1 << 3);
    order.Random().Seed(9);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"6000"}));
}

TEST_F(PlayOrderTest, RandomPickWrapsFromTheLastEnabledGroupToTheFirst) {
    Modes(kListRandom, kGroupRandom);
    MakeUnplayable(3, 0);  // seed 5 draws group 3, index 0
    MakeUnplayable(3, 1);
    MakeUnplayable(6, 0);
    order.Random().Seed(5);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(order.Queue(), PlayQueue({"0000"}));
}

TEST_F(PlayOrderTest, RandomPickWithEverySongInArchivesAndNoLibraryIsNoSong) {
    Modes(kListRandom, kGroupRandom);
    for (int g = 0; g < kGroupCount; ++g)
        for (int i = 0; i < songs.groups[g].Count(); ++i) MakeUnplayable(g, i);
    order.Random().Seed(5);
    EXPECT_FALSE(order.BuildPlayQueue());
    EXPECT_TRUE(order.Queue().empty());
    EXPECT_EQ(messages.Texts(), std::vector<QString>{kNoSongText});
}

// --- The no-song handling ---

TEST_F(PlayOrderTest, NoEnabledGroupShowsTheWarningAndSetsNoList) {
    Fill({1, 1, 1, 1, 1, 1, 1, 1, 1});
    Modes(kListSequential, kGroupSequential);
    settings.groupSel = 0;
    int redraws = 0;
    order.SetHooks({.showCurrentSong = {}, .showWarning = [&] {
                        ++redraws;
                        EXPECT_TRUE(order.NoList());  // the redraw shows NOLIST
                    },
                    .setStopped = {}});
    EXPECT_FALSE(order.BuildPlayQueue());
    EXPECT_TRUE(order.NoList());
    EXPECT_EQ(redraws, 1);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kNoSongText);
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Exclamation);
}

TEST_F(PlayOrderTest, OnlyDisabledGroupsHavingSongsIsNoSongInEveryMode) {
    settings.groupSel = (1 << 1) | (1 << 4);  // both empty
    const std::vector<std::pair<int, int>> modes{{kListRandom, kGroupRandom},
                                                 {kListSemiRandom, kGroupSemiRandom},
                                                 {kListSequential, kGroupSequential},
                                                 {kListSemiRandomAll, kGroupAll}};
    for (auto [list, group] : modes) {
        Modes(list, group);
        EXPECT_FALSE(order.BuildPlayQueue()) << list << "/" << group;
        EXPECT_TRUE(order.Queue().empty());
    }
    EXPECT_EQ(messages.Texts().size(), modes.size());
}

TEST_F(PlayOrderTest, AnEmptyListIsNoSong) {
    Fill({0, 0, 0, 0, 0, 0, 0, 0, 0});
    Modes(kListSequential, kGroupSequential);
    EXPECT_FALSE(order.BuildPlayQueue());
    EXPECT_FALSE(order.NextSong());
    EXPECT_FALSE(order.PreviousSong());
    EXPECT_FALSE(order.CurrentSongValid());
    EXPECT_TRUE(order.NoList());
}

TEST_F(PlayOrderTest, WithTheWarningBitClearNoSongIsSilent) {
    settings.warningMsg = kDefaultWarningMsg & ~kWarnNoList;
    settings.groupSel = 0;
    bool redrawn = false;
    order.SetHooks({.showCurrentSong = {}, .showWarning = [&] { redrawn = true; }, .setStopped = {}});
    EXPECT_FALSE(order.BuildPlayQueue());
    EXPECT_FALSE(order.NoList());
    EXPECT_FALSE(redrawn);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(PlayOrderTest, ASuccessfulBuildAfterNoSongStopsAndClearsNoList) {
    Modes(kListSequential, kGroupSequential);
    int stops = 0;
    order.SetHooks({.showCurrentSong = {}, .showWarning = {}, .setStopped = [&] { ++stops; }});
    settings.groupSel = 0;
    EXPECT_FALSE(order.BuildPlayQueue());
    ASSERT_TRUE(order.NoList());
    settings.groupSel = kAllGroups;
    EXPECT_TRUE(order.BuildPlayQueue());
    EXPECT_FALSE(order.NoList());
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(order.BuildPlayQueue());
    EXPECT_EQ(stops, 1);  // only when leaving the no-song state
}

// --- Walking the queue ---

TEST_F(PlayOrderTest, ANewPassWhoseFirstSongIsUnplayableMakesNextSongFalse) {
    Modes(kListSequential, kGroupSequential);
    MakeUnplayable(0, 0);
    ASSERT_TRUE(order.BuildPlayQueue());  // later entries are playable
    EXPECT_EQ(Current(), std::make_pair(0, 0));
    for (int k = 1; k < 10; ++k) ASSERT_TRUE(order.NextSong());
    EXPECT_FALSE(order.NextSong());
    EXPECT_EQ(order.QueuePos(), 0);
    EXPECT_EQ(Current(), std::make_pair(0, 0));
}

TEST_F(PlayOrderTest, PreviousSongAtTheStartChangesNothing) {
    Modes(kListSequential, kGroupSequential);
    int shown = 0;
    order.SetHooks({.showCurrentSong = [&] { ++shown; return true; }, .showWarning = {}, .setStopped = {}});
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_FALSE(order.PreviousSong());
    EXPECT_EQ(order.QueuePos(), 0);
    EXPECT_EQ(Current(), std::make_pair(0, 0));
    EXPECT_EQ(shown, 0);
}

TEST_F(PlayOrderTest, PreviousSongDoesNotSkipUnplayableEntries) {
    Modes(kListSequential, kGroupSequential);
    MakeUnplayable(0, 1);
    ASSERT_TRUE(order.BuildPlayQueue());
    ASSERT_TRUE(order.NextSong());
    EXPECT_EQ(order.QueuePos(), 2);
    EXPECT_FALSE(order.PreviousSong());
    EXPECT_EQ(order.QueuePos(), 1);  // moved even though it cannot be shown
    EXPECT_EQ(Current(), std::make_pair(0, 1));
}

TEST_F(PlayOrderTest, NextSongReportsWhatShowingTheSongReports) {
    Modes(kListSequential, kGroupSequential);
    bool showOk = false;
    order.SetHooks({.showCurrentSong = [&] { return showOk; }, .showWarning = {}, .setStopped = {}});
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_FALSE(order.NextSong());
    EXPECT_EQ(order.QueuePos(), 1);
    showOk = true;
    EXPECT_TRUE(order.NextSong());
}

TEST_F(PlayOrderTest, CurrentSongBeyondItsGroupIsNotValid) {
    Fill({0, 2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(order.CurrentSongValid());  // group 0, index 0 with an empty Group1
    SetPath(1, 0, "D:\\X.LZH\\SONG.MID");    // only the file name counts
    Modes(kListSequential, kGroupSequential);
    ASSERT_TRUE(order.BuildPlayQueue());
    EXPECT_TRUE(order.CurrentSongValid());
}

// --- Taking a resumed state ---

TEST_F(PlayOrderTest, ResumeTakesTheQueueOrResetsThePosition) {
    EXPECT_TRUE(order.Resume(ResumeState{{"0002", "3001"}, 1}));
    EXPECT_EQ(order.Queue(), PlayQueue({"0002", "3001"}));
    EXPECT_EQ(order.QueuePos(), 1);
    EXPECT_EQ(Current(), std::make_pair(3, 1));
    EXPECT_EQ(order.Snapshot(), (ResumeState{{"0002", "3001"}, 1}));

    EXPECT_FALSE(order.Resume(std::nullopt));
    EXPECT_TRUE(order.Queue().empty());
    EXPECT_EQ(order.QueuePos(), 0);
    EXPECT_EQ(Current(), std::make_pair(0, 0));
}

}  // namespace
}  // namespace kyro
