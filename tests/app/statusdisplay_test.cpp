// The main window's status display after start-up and in every player state: the song panels,
// the queue position, the mode names, the status texts and the transport buttons, plus the
// auto-start countdown that start-up arms.
#include "app/resumestate.h"
#include "app/tfmmid.h"
#include "library/listfiles.h"
#include "platform/cp932.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"
#include "widgets/mpanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace kyro {

// Puts a started window into the states that only playback reaches.
class StatusDisplayProbe {
public:
    explicit StatusDisplayProbe(TfmMid& mid) : mid_(mid) {}
    void Show(PlayerState state, int countdown = 0) {
        mid_.state_ = state;
        mid_.countdown_ = countdown;
        mid_.UpdateStatusDisplay();
    }
    void SetModes(int groupMode, int listMode) {
        mid_.settings_.groupRandomType = groupMode;
        mid_.settings_.listRandomType = listMode;
    }
    void StartTestPlay(const std::string& path, char map) {
        mid_.testPlay_ = true;
        mid_.testPath_ = path;
        mid_.testMap_ = map;
    }
    bool Resume(const ResumeState& state) { return mid_.order_.Resume(state); }

private:
    TfmMid& mid_;
};

namespace {

const std::string kWarnNoListOnly = "[KYRO32]\r\nWarningMsg=2\r\n";
const QString kMsgNoSong = QStringLiteral("演奏する曲がありません。");

std::string Cp932(const char* utf8) { return Utf8ToCp932(utf8).value(); }

class StatusDisplayTest : public ::testing::Test {
protected:
    // Writes the settings (nothing opens the player: the null output all the same) and the list,
    // then starts the window on the folder.
    std::unique_ptr<TfmMid> Start(const std::string& settings, const SongList& songs = {}) {
        folder.Write("KYRO32.INI", settings + "[MIDI]\r\nOutput=null\r\n");
        if (!songs.Empty()) {
            EXPECT_TRUE(SaveSongList(folder.Dos(), songs));
        }
        AppContext context;
        context.programFolderNative = folder.Native();
        context.exeFolderNative = folder.Native();
        context.env.vars["TEMP"] = folder.Native();
        return std::make_unique<TfmMid>(context);
    }

    static SongList TwoGroups() {
        SongList songs;
        songs.groups[0].Append({"Z:\\midi\\ONE.MID", "First", '1'});
        songs.groups[0].Append({"Z:\\midi\\TWO.MID", "Second", '0'});
        songs.groups[1].Append({"Z:\\midi\\THREE.MID", Cp932("さくら"), '3'});
        songs.groups[1].Append({"Z:\\midi\\FOUR.MID", "Fourth", '4'});
        return songs;
    }

    static QString Text(const TfmMid& mid, const char* name) {
        return mid.findChild<MPanel*>(QString::fromLatin1(name))->Caption();
    }
    static QString Literal(const TfmMid& mid, const char* name) {
        return mid.findChild<MPanel*>(QString::fromLatin1(name))->Caption2();
    }
    static QString Title(const TfmMid& mid) { return mid.findChild<QLineEdit*>("edTitle")->text(); }
    // pbREW, pbPLAY, pbFF, pbSTOP as "1101" (1 = enabled).
    static std::string Buttons(const TfmMid& mid) {
        std::string flags;
        for (const char* name : {"pbREW", "pbPLAY", "pbFF", "pbSTOP"})
            flags += mid.findChild<QPushButton*>(name)->isEnabled() ? '1' : '0';
        return flags;
    }
    static bool TimerActive(const TfmMid& mid) { return mid.findChild<QTimer*>("Timer1")->isActive(); }

    test::TempFolder folder;
    test::MessageRecorder messages;
};

TEST_F(StatusDisplayTest, RandomRandomShowsTheFirstSongOfGroup1BeforeAnyQueueExists) {
    auto mid = Start(kWarnNoListOnly, TwoGroups());
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("ONE.MID"));
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral("Group1"));
    EXPECT_EQ(Text(*mid, "edNum"), QStringLiteral("001"));
    EXPECT_EQ(Text(*mid, "edMap"), QStringLiteral("88"));
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("0001/0000"));  // the queue is still empty
    EXPECT_EQ(Title(*mid), QStringLiteral("First"));
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("STOP"));
    EXPECT_EQ(Text(*mid, "edGrpMode"), QStringLiteral("RANDOM"));
    EXPECT_EQ(Text(*mid, "edLstMode"), QStringLiteral("RANDOM"));
    EXPECT_EQ(Buttons(*mid), "1110");
    EXPECT_FALSE(TimerActive(*mid));
}

TEST_F(StatusDisplayTest, RandomRandomWithAnEmptyGroup1PicksARandomSongAtOnce) {
    SongList songs = TwoGroups();
    songs.groups[0].Clear();
    auto mid = Start(kWarnNoListOnly, songs);
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral("Group2"));
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("0001/0001"));
    EXPECT_EQ(mid->Order().Queue().size(), 1u);
}

TEST_F(StatusDisplayTest, SequentialModesContinueAtTheSavedPosition) {
    folder.Write(kResumeFileName, EncodeResumeState({{"0000", "0001", "1000", "1001"}, 2}));
    auto mid = Start(kWarnNoListOnly + "ListRandomType=3\r\nGroupRandomType=2\r\nGroup2=" + Cp932("ピアノ") + "\r\n",
                     TwoGroups());
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("0003/0004"));
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral("ピアノ"));
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("THREE.MID"));
    EXPECT_EQ(Text(*mid, "edNum"), QStringLiteral("001"));
    EXPECT_EQ(Text(*mid, "edMap"), QStringLiteral("GM"));
    EXPECT_EQ(Title(*mid), QStringLiteral("さくら"));
    EXPECT_EQ(Text(*mid, "edGrpMode"), QStringLiteral("SEQUENTIAL"));
    EXPECT_EQ(Text(*mid, "edLstMode"), QStringLiteral("SEQUENTIAL"));
}

TEST_F(StatusDisplayTest, AResumeFileNamingAVanishedSongStartsANewQueue) {
    folder.Write(kResumeFileName, EncodeResumeState({{"0000", "0005"}, 1}));  // Group1 has 2 songs
    SongList songs = TwoGroups();
    songs.groups[0].Clear();
    auto mid = Start(kWarnNoListOnly + "ListRandomType=3\r\nGroupRandomType=2\r\n", songs);
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral("Group2"));
    EXPECT_EQ(Text(*mid, "edNum"), QStringLiteral("001"));
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("0001/0002"));
}

TEST_F(StatusDisplayTest, NoSongShowsNolistWithEmptyPanelsAndWarnsOnce) {
    auto mid = Start(kWarnNoListOnly);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kMsgNoSong);
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(mid->NoList());
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("NOLIST"));
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("0000/0000"));
    EXPECT_EQ(Literal(*mid, "edGroup"), QString());
    EXPECT_EQ(Text(*mid, "edNum"), QString());
    EXPECT_EQ(Literal(*mid, "edFile"), QString());
    EXPECT_EQ(Title(*mid), QString());
    EXPECT_EQ(Buttons(*mid), "0000");
    for (const char* name : {"pbLIST", "pbSYSTEM", "pbBYE"})
        EXPECT_TRUE(mid->findChild<QPushButton*>(name)->isEnabled()) << name;
}

TEST_F(StatusDisplayTest, WithoutTheWarningBitNoSongIsSilentAndNotNolist) {
    auto mid = Start("[KYRO32]\r\nWarningMsg=0\r\n");
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_FALSE(mid->NoList());
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("STOP"));
}

TEST_F(StatusDisplayTest, AutoStartWithoutASongStartsNoCountdown) {
    auto mid = Start(kWarnNoListOnly + "AutoStart=10\r\n");
    EXPECT_TRUE(mid->NoList());
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(mid->TimerMode(), 0);
    EXPECT_FALSE(TimerActive(*mid));
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("NOLIST"));
}

TEST_F(StatusDisplayTest, AutoStartRestsWithTheCountdownRunning) {
    auto mid = Start(kWarnNoListOnly + "AutoStart=5\r\n", TwoGroups());
    EXPECT_EQ(mid->State(), PlayerState::Resting);
    EXPECT_EQ(mid->TimerMode(), 1);
    EXPECT_EQ(mid->Countdown(), 5);
    EXPECT_TRUE(TimerActive(*mid));
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("Rest 5s"));
    EXPECT_EQ(Buttons(*mid), "0001");
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("ONE.MID"));  // the song it will play
}

TEST_F(StatusDisplayTest, ButtonsAndStatusFollowEveryState) {
    auto mid = Start(kWarnNoListOnly, TwoGroups());
    StatusDisplayProbe probe(*mid);
    struct Row {
        PlayerState state;
        const char* buttons;
        QString status;
    };
    const Row rows[] = {
        {PlayerState::Stopped, "1110", QStringLiteral("STOP")},
        {PlayerState::Playing, "1111", QStringLiteral("PLAYING")},
        {PlayerState::Paused, "1111", QStringLiteral("PAUSE...")},
        {PlayerState::Waiting, "0001", QStringLiteral("Wait 7s")},
        {PlayerState::Error, "1011", QStringLiteral("ERROR")},
    };
    for (const auto& row : rows) {
        probe.Show(row.state, 7);
        EXPECT_EQ(Buttons(*mid), row.buttons) << row.status.toStdString();
        EXPECT_EQ(Text(*mid, "edStatus"), row.status);
    }
    // Resting keeps whatever the countdown wrote last.
    probe.Show(PlayerState::Resting, 3);
    EXPECT_EQ(Buttons(*mid), "0001");
    EXPECT_EQ(Text(*mid, "edStatus"), QStringLiteral("ERROR"));
}

TEST_F(StatusDisplayTest, ATestPlayShowsItsOwnTextsAndCannotBeSkipped) {
    auto mid = Start(kWarnNoListOnly, TwoGroups());
    StatusDisplayProbe probe(*mid);
    probe.StartTestPlay("Z:\\new\\TRY&OUT.MID", '2');
    probe.Show(PlayerState::Playing);
    ASSERT_TRUE(mid->ShowCurrentSong());
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("TRY&OUT.MID"));
    EXPECT_EQ(Text(*mid, "edMap"), QStringLiteral("55"));
    EXPECT_EQ(Text(*mid, "edNum"), QStringLiteral("TST"));
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral(" Test Play Mode"));
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("TEST/TEST"));
    EXPECT_EQ(Title(*mid), QStringLiteral("－タイトル未取得－"));
    EXPECT_EQ(Text(*mid, "edGrpMode"), QStringLiteral("TEST PLAY"));
    EXPECT_EQ(Text(*mid, "edLstMode"), QStringLiteral("TEST PLAY"));
    EXPECT_EQ(Buttons(*mid), "0101");

    // An archived test song without the archive library is not shown; the panels stay.
    probe.StartTestPlay("Z:\\new\\PACK.LZH->B.MID", '0');
    EXPECT_FALSE(mid->ShowCurrentSong());
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("TRY&OUT.MID"));
}

TEST_F(StatusDisplayTest, FileAndGroupNamesAreShownLiterally) {
    SongList songs;
    songs.groups[0].Append({"Z:\\R&B\\ROCK&ROLL.MID", "", '0'});
    auto mid = Start(kWarnNoListOnly + "Group1=Jazz&Blues\r\n", songs);
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("ROCK&ROLL.MID"));
    EXPECT_EQ(Literal(*mid, "edGroup"), QStringLiteral("Jazz&Blues"));
    EXPECT_EQ(Text(*mid, "edMap"), QStringLiteral("無"));
}

// RCP headers pad their titles with spaces: the box must show the title, not the padding.
TEST_F(StatusDisplayTest, ATitleWiderThanItsBoxShowsItsStart) {
    SongList songs;
    songs.groups[0].Append({"Z:\\SONG.RCP", Cp932("月夜の舟歌") + std::string(70, ' '), '0'});
    auto mid = Start(kWarnNoListOnly, songs);
    const auto* title = mid->findChild<QLineEdit*>("edTitle");
    EXPECT_EQ(title->text().trimmed(), QStringLiteral("月夜の舟歌"));
    EXPECT_EQ(title->cursorPosition(), 0);
}

// "表" is 95 5C: its second byte is no path separator.
TEST_F(StatusDisplayTest, FileNameCutSkipsSecondBytesThatLookLikeBackslashes) {
    SongList songs;
    songs.groups[0].Append({Cp932("Z:\\曲\\表題.MID"), "", '0'});
    auto mid = Start(kWarnNoListOnly, songs);
    EXPECT_EQ(Literal(*mid, "edFile"), QStringLiteral("表題.MID"));
}

TEST_F(StatusDisplayTest, ModeNamesForEveryValue) {
    auto mid = Start(kWarnNoListOnly, TwoGroups());
    StatusDisplayProbe probe(*mid);
    const std::pair<int, QString> groupModes[] = {{-1, QString()},
                                                  {0, QStringLiteral("RANDOM")},
                                                  {1, QStringLiteral("SEMI RANDOM")},
                                                  {2, QStringLiteral("SEQUENTIAL")},
                                                  {7, QStringLiteral("RANDOM")}};
    const std::pair<int, QString> listModes[] = {{0, QStringLiteral("RANDOM")},
                                                 {1, QStringLiteral("SEMI RANDOM")},
                                                 {2, QStringLiteral("SEMI RANDOM ALL")},
                                                 {3, QStringLiteral("SEQUENTIAL")},
                                                 {-4, QStringLiteral("RANDOM")}};
    for (std::size_t k = 0; k < std::size(groupModes); ++k) {
        probe.SetModes(groupModes[k].first, listModes[k].first);
        probe.Show(PlayerState::Stopped);
        EXPECT_EQ(Text(*mid, "edGrpMode"), groupModes[k].second) << groupModes[k].first;
        EXPECT_EQ(Text(*mid, "edLstMode"), listModes[k].second) << listModes[k].first;
    }
}

TEST_F(StatusDisplayTest, TheLastPositionOfAFullQueueShowsAllFourDigits) {
    auto mid = Start(kWarnNoListOnly, TwoGroups());
    StatusDisplayProbe probe(*mid);
    ASSERT_TRUE(probe.Resume({PlayQueue(kMaxQueueLength, "1001"), kMaxQueueLength - 1}));
    ASSERT_TRUE(mid->ShowCurrentSong());
    EXPECT_EQ(Text(*mid, "edAllList"), QStringLiteral("8991/8991"));
    EXPECT_EQ(Text(*mid, "edNum"), QStringLiteral("002"));
}

TEST(MapLabelTest, EveryCode) {
    EXPECT_EQ(TfmMid::MapLabel(0), QStringLiteral("無"));
    EXPECT_EQ(TfmMid::MapLabel(1), QStringLiteral("88"));
    EXPECT_EQ(TfmMid::MapLabel(2), QStringLiteral("55"));
    EXPECT_EQ(TfmMid::MapLabel(3), QStringLiteral("GM"));
    EXPECT_EQ(TfmMid::MapLabel(4), QStringLiteral("8P"));
    EXPECT_EQ(TfmMid::MapLabel(5), QStringLiteral("無"));
    EXPECT_EQ(TfmMid::MapLabel(-1), QStringLiteral("無"));
}

}  // namespace
}  // namespace kyro
