// Player1 over the null output: opening files, completion notices and errors.
#include "sequencer/player.h"
#include "sequencer/songfile.h"
#include "playercommands.h"

#include "support/tempfolder.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <utility>

namespace kyro {
namespace {

// Format 0, one track holding only End of Track.
const std::string kSmallSong = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14) + std::string("MTrk\0\0\0\x04\0\xFF\x2F\0", 12);

std::string Le32(std::uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

std::string RiffMidi(const std::string& dataChunk) {
    const std::string body = "RMID" + std::string("LIST") + Le32(4) + "INFO" + "data" + Le32(dataChunk.size()) + dataChunk;
    return "RIFF" + Le32(body.size()) + body;
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("SONG.MID", kSmallSong);
        // These tests are about files and notices, not sound: nothing reaches a sound card.
        folder.Write("KYRO32.INI", "[MIDI]\r\nOutput=null\r\n");
        player.SetSettingsFile(folder.Native("KYRO32.INI"));
        qRegisterMetaType<kyro::NotifyResult>();
    }

    bool OpenFile(const std::string& name) { return test::OpenWithWait(player, folder.Native(name)); }
    bool PlayWithNotify() { return test::PlayWithNotify(player); }

    // Lets every queued notice arrive.
    static void Settle() { QTest::qWait(30); }

    static NotifyResult At(const QSignalSpy& spy, int i) { return test::NoticeAt(spy, i); }

    test::TempFolder folder;
    Player1 player;
};

TEST_F(PlayerTest, MissingFileFailsWithCodeAndText) {
    EXPECT_FALSE(OpenFile("NONE.MID"));
    EXPECT_EQ(player.ErrorCode(), kPlayerFileNotFound);
    EXPECT_FALSE(player.ErrorText().isEmpty());
    EXPECT_NE(player.ErrorText(), QStringLiteral("原因不明のｴﾗｰ"));
    EXPECT_FALSE(player.IsOpen());

    player.SetFileName("");
    EXPECT_FALSE(player.Open());
    EXPECT_EQ(player.ErrorCode(), kPlayerFileNotFound);
}

TEST_F(PlayerTest, UnreadableOrForeignContentCannotBeRead) {
    folder.Write("SUB/x", "");
    folder.Write("TEXT.MID", "not a song at all");
    folder.Write("SHORT.MID", "MTh");
    folder.Write("EMPTY.MID", "");
    for (const char* name : {"SUB", "TEXT.MID", "SHORT.MID", "EMPTY.MID"}) {
        EXPECT_FALSE(OpenFile(name)) << name;
        EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead) << name;
        EXPECT_FALSE(player.ErrorText().isEmpty()) << name;
        EXPECT_FALSE(player.IsOpen()) << name;
    }
}

TEST_F(PlayerTest, FileWithoutReadPermissionCannotBeRead) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    folder.Write("LOCKED.MID", kSmallSong);
    std::filesystem::permissions(folder.Native("LOCKED.MID"), std::filesystem::perms::none);
    EXPECT_FALSE(OpenFile("LOCKED.MID"));
    EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead);
}

// With the converters' texts, on either device.
TEST_F(PlayerTest, OversizedFileAndForeignRcpFileAreRefusedWithTheirTexts) {
    folder.Write("HUGE.MID", kSmallSong + std::string(17u << 20, '\0'));
    folder.Write("JUNK.RCP", "not a song at all");
    const std::pair<const char*, const char*> cases[] = {{"HUGE.MID", kSongFileTooLargeText},
                                                         {"JUNK.RCP", kNotRcpFileText}};
    for (const auto& [name, text] : cases) {
        for (DeviceType device : {DeviceType::Automatic, DeviceType::Sequencer}) {
            player.SetDeviceType(device);
            EXPECT_FALSE(OpenFile(name)) << name;
            EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead) << name;
            EXPECT_EQ(player.ErrorText(), QString::fromUtf8(text)) << name;
        }
    }
}

TEST_F(PlayerTest, RiffWrappedSongOpensAndBrokenWrappersDoNot) {
    folder.Write("WRAP.RMI", RiffMidi(kSmallSong));
    EXPECT_TRUE(OpenFile("WRAP.RMI"));
    EXPECT_EQ(player.ErrorCode(), kPlayerNoError);

    folder.Write("WAVE.RMI", RiffMidi("RIFFWAVEfmt "));
    // A chunk length far beyond the end of the file.
    folder.Write("LIAR.RMI", "RIFF" + Le32(100) + "RMID" + "LIST" + Le32(0xFFFFFFF0u) + "INFO");
    for (const char* name : {"WAVE.RMI", "LIAR.RMI"}) {
        EXPECT_FALSE(OpenFile(name)) << name;
        EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead) << name;
    }
}

TEST_F(PlayerTest, SuccessfulCommandClearsTheLastError) {
    EXPECT_FALSE(OpenFile("NONE.MID"));
    EXPECT_TRUE(OpenFile("SONG.MID"));
    EXPECT_EQ(player.ErrorCode(), kPlayerNoError);
    EXPECT_TRUE(player.ErrorText().isEmpty());
}

TEST_F(PlayerTest, PlayWithNotifyGivesOneSuccessfulNoticeOnTheOwnThread) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    QThread* deliveredOn = nullptr;
    QObject::connect(&player, &Player1::Notified, &player, [&] { deliveredOn = QThread::currentThread(); });

    EXPECT_TRUE(PlayWithNotify());
    EXPECT_EQ(spy.count(), 0);  // returns at once; the notice comes later
    EXPECT_TRUE(player.IsPlaying());
    Settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Successful);
    EXPECT_EQ(deliveredOn, QCoreApplication::instance()->thread());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(player.IsOpen());
}

TEST_F(PlayerTest, PlayWithWaitIsDoneOnReturnWithoutNotice) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    player.SetWait(true);
    player.SetNotify(false);
    EXPECT_TRUE(player.Play());
    EXPECT_FALSE(player.IsPlaying());
    Settle();
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(PlayerTest, StopBeforeTheEndGivesOneAbortedAndNoSuccessful) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    player.SetWait(true);
    player.SetNotify(false);
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_TRUE(player.IsOpen());
    player.Stop();  // a second stop owes nothing
    Settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Aborted);
}

TEST_F(PlayerTest, ResumeAfterStopGetsOnlyItsOwnCompletion) {
    // The completion queued for the stopped play must not count for the resumed one.
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    player.Stop();
    ASSERT_TRUE(PlayWithNotify());
    Settle();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(At(spy, 0), NotifyResult::Aborted);
    EXPECT_EQ(At(spy, 1), NotifyResult::Successful);
}

TEST_F(PlayerTest, OpenDuringAPendingPlaySupersedesIt) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    EXPECT_TRUE(OpenFile("SONG.MID"));
    EXPECT_FALSE(player.IsPlaying());
    Settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Superseded);
}

TEST_F(PlayerTest, FailedOpenDuringAPendingPlayStillEndsIt) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    EXPECT_FALSE(OpenFile("NONE.MID"));
    EXPECT_FALSE(player.IsOpen());
    Settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Superseded);
}

TEST_F(PlayerTest, TheOpenSongHasALengthAndAPositionThatAStopKeeps) {
    // End of Track 1920 ticks (20 quarter notes at 500000 µs) after the start: a 10 s song.
    folder.Write("LONG.MID", kSmallSong.substr(0, 14) + std::string("MTrk\0\0\0\x05\x8F\x00\xFF\x2F\0", 13));
    EXPECT_EQ(player.SongLengthUs(), std::nullopt);
    ASSERT_TRUE(OpenFile("LONG.MID"));
    EXPECT_EQ(player.SongLengthUs(), 10'000'000);
    ASSERT_TRUE(PlayWithNotify());
    QTest::qWait(50);
    EXPECT_GT(player.PositionUs(), 0);
    player.Stop();
    const std::int64_t stopped = player.PositionUs();
    EXPECT_GT(stopped, 0);
    QTest::qWait(20);
    EXPECT_EQ(player.PositionUs(), stopped);
    player.Close();
    EXPECT_EQ(player.SongLengthUs(), std::nullopt);
}

TEST_F(PlayerTest, CloseEndsThePlayAndTheDevice) {
    ASSERT_TRUE(OpenFile("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    player.Close();
    EXPECT_FALSE(player.IsOpen());
    Settle();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Aborted);

    EXPECT_FALSE(PlayWithNotify());
    EXPECT_EQ(player.ErrorCode(), kPlayerNotOpen);
    EXPECT_FALSE(player.ErrorText().isEmpty());
    Settle();
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(PlayerTest, PlayWithoutOpenFails) {
    EXPECT_FALSE(PlayWithNotify());
    EXPECT_EQ(player.ErrorCode(), kPlayerNotOpen);
    EXPECT_FALSE(player.IsPlaying());
}

TEST_F(PlayerTest, DestroyedPlayerDeliversNothing) {
    auto* doomed = new Player1;
    doomed->SetFileName(folder.Native("SONG.MID"));
    doomed->SetSettingsFile(folder.Native("KYRO32.INI"));
    doomed->SetWait(true);
    ASSERT_TRUE(doomed->Open()) << doomed->ErrorText().toStdString();
    doomed->SetWait(false);
    doomed->SetNotify(true);
    ASSERT_TRUE(doomed->Play());
    delete doomed;
    Settle();  // the queued completion must not touch the deleted player
    SUCCEED();
}

TEST(PlayerErrorText, CodesWithoutTextGiveTheUnknownError) {
    Player1 player;
    EXPECT_TRUE(player.ErrorText().isEmpty());
    EXPECT_TRUE(PlayerErrorText(kPlayerNoError).isEmpty());
    EXPECT_EQ(PlayerErrorText(99), QStringLiteral("原因不明のｴﾗｰ"));
    EXPECT_NE(PlayerErrorText(kPlayerFileNotFound), QStringLiteral("原因不明のｴﾗｰ"));
}

}  // namespace
}  // namespace kyro
