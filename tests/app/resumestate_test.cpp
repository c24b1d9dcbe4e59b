// The resume file: its bytes, every validity rule of reading it back, the atomic save with its
// failure message, and start-up's decision whether to resume.

#include "app/playerstate.h"
#include "app/resumestate.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

using test::MessageRecorder;
using test::TempFolder;

class ResumeStateTest : public ::testing::Test {
protected:
    ResumeStateTest() {
        for (int i = 0; i < 4; ++i) songs.groups[0].Append({"D:\\A" + std::to_string(i) + ".MID", "", '0'});
        for (int i = 0; i < 12; ++i) songs.groups[2].Append({"D:\\C" + std::to_string(i) + ".MID", "", '0'});
    }
    std::optional<ResumeState> Decode(std::string_view bytes) const { return DecodeResumeState(bytes, songs); }

    SongList songs;  // Group1 has 4 songs, Group3 has 12
};

TEST_F(ResumeStateTest, EncodesPositionThenEntries) {
    EXPECT_EQ(EncodeResumeState({{"0003", "2011"}, 1}), "000100032011");
    EXPECT_EQ(EncodeResumeState({{}, 0}), "0000");
}

TEST_F(ResumeStateTest, DecodesAValidFile) {
    EXPECT_EQ(Decode("000100032011"), (ResumeState{{"0003", "2011"}, 1}));
}

TEST_F(ResumeStateTest, ShortOrEmptyFilesAreInvalid) {
    EXPECT_FALSE(Decode(""));
    EXPECT_FALSE(Decode("000"));
    EXPECT_FALSE(Decode("0000"));          // position 0 is not below 0 entries
    EXPECT_FALSE(Decode("000200010002"));  // position 2 is not below 2
}

TEST_F(ResumeStateTest, TheFirstBadRecordMakesTheFileInvalid) {
    EXPECT_FALSE(Decode("000000019000"));  // group digit 9
    EXPECT_FALSE(Decode("000000010a01"));  // not all digits
    EXPECT_FALSE(Decode("00000001 001"));
    EXPECT_FALSE(Decode("000000000004"));  // Group1 has only 4 songs
    EXPECT_FALSE(Decode("00001000"));      // Group2 is empty
    EXPECT_TRUE(Decode("00000003201100002000"));
}

TEST_F(ResumeStateTest, AShortTailIsIgnored) {
    EXPECT_EQ(Decode("0000000120"), (ResumeState{{"0001"}, 0}));
    EXPECT_FALSE(Decode("0001000120"));  // the tail does not count as an entry
}

TEST_F(ResumeStateTest, PositionIsReadLikeTheOldNumberReader) {
    EXPECT_EQ(Decode("  1 00002000")->queuePos, 1);  // leading blanks
    EXPECT_EQ(Decode("+001" "00002000")->queuePos, 1);
    EXPECT_EQ(Decode("1abc" "00002000")->queuePos, 1);  // stops at the first other character
    EXPECT_EQ(Decode("abcd" "0000")->queuePos, 0);      // no digits: 0
    EXPECT_FALSE(Decode("-001" "00002000"));           // negative
    EXPECT_EQ(Decode("-000" "0000")->queuePos, 0);
}

TEST_F(ResumeStateTest, AFileLongerThanAFullQueueIsInvalid) {
    std::string bytes = "0000";
    for (int k = 0; k <= kMaxQueueLength; ++k) bytes += "0000";
    EXPECT_FALSE(Decode(bytes));
    bytes.resize(bytes.size() - 4);
    EXPECT_TRUE(Decode(bytes));
}

TEST_F(ResumeStateTest, SavesAndLoadsBackThroughTheProgramFolder) {
    TempFolder program;
    program.Write(kResumeFileName, std::string(100, 'x'));  // an older, longer file is replaced
    const ResumeState state{{"2011", "0003", "0000"}, 2};
    ASSERT_TRUE(SaveResumeState(program.Dos(), state));
    EXPECT_EQ(program.Read(kResumeFileName), "0002201100030000");
    EXPECT_EQ(program.Entries(""), std::vector<std::string>{kResumeFileName});  // no temporary left
    EXPECT_EQ(LoadResumeState(program.Dos(), songs), state);
}

TEST_F(ResumeStateTest, LoadingRechecksAgainstTheCurrentList) {
    TempFolder program;
    ASSERT_TRUE(SaveResumeState(program.Dos(), {{"0003", "2011"}, 0}));
    songs.groups[2].Remove(11);  // the list was edited outside the program
    EXPECT_FALSE(LoadResumeState(program.Dos(), songs));
}

TEST_F(ResumeStateTest, AMissingFileIsNotResumedAndSaysNothing) {
    TempFolder program;
    MessageRecorder messages;
    EXPECT_FALSE(LoadResumeState(program.Dos(), songs));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ResumeStateTest, AFileThatCannotBeCreatedShowsItsFullPath) {
    TempFolder program;
    MessageRecorder messages;
    const std::string folder = program.Dos() + "missing\\";
    EXPECT_FALSE(SaveResumeState(folder, {{"0000"}, 0}));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text,
              QStringLiteral("ﾌｧｲﾙ %1 を作成できません").arg(QString::fromStdString(folder + "KYROSTAT.dat")));
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
}

TEST(ResumeDecisionTest, EveryRowOfTheTable) {
    using enum ResumeAction;
    EXPECT_EQ(DecideResume(true, kGroupSequential, kListSequential), Build);  // an empty list always builds
    EXPECT_EQ(DecideResume(true, kGroupRandom, kListRandom), Build);
    for (int list : {0, 1, 2, 3, 9}) {
        EXPECT_EQ(DecideResume(false, kGroupAll, list), Resume) << list;
        EXPECT_EQ(DecideResume(false, kGroupSemiRandom, list), Resume) << list;
        EXPECT_EQ(DecideResume(false, kGroupSequential, list), Resume) << list;
        EXPECT_EQ(DecideResume(false, 3, list), Build) << list;
        EXPECT_EQ(DecideResume(false, -2, list), Build) << list;
    }
    EXPECT_EQ(DecideResume(false, kGroupRandom, kListRandom), Neither);
    EXPECT_EQ(DecideResume(false, kGroupRandom, kListSemiRandom), Resume);
    EXPECT_EQ(DecideResume(false, kGroupRandom, kListSequential), Resume);
    EXPECT_EQ(DecideResume(false, kGroupRandom, kListSemiRandomAll), Build);
    EXPECT_EQ(DecideResume(false, kGroupRandom, 4), Build);
}

}  // namespace
}  // namespace kyro
