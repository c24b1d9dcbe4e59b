// Player1 with the engine behind it: notices of play, stop, resume, open during play and close,
// and what reaches the output (a recording output, or the real WAV renderer).
#include "sequencer/player.h"
#include "playercommands.h"

#include "sequencer/fluidsynthsynth.h"

#include "recordingoutput.h"
#include "smfbuilder.h"
#include "support/tempfolder.h"
#include "testsong.h"
#include "wavreader.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <chrono>
#include <thread>

namespace kyro {
namespace {

using namespace std::chrono_literals;
using test::IsController;
using test::IsNoteOn;
using test::RecordedMessage;
using Msg = std::vector<std::uint8_t>;

// Ten seconds: program 5 on channel 1, then a note every 100 ms, each held 80 ms, under sustain.
std::string LongSong() {
    test::TrackBuilder t;
    t.Tempo(0, 500000).Event(0, {0xC0, 5}).Event(0, {0xB0, 64, 127});  // 480 ticks = 500 ms
    for (int i = 0; i < 100; ++i) t.Event(i == 0 ? 0 : 19, {0x90, 60 + i % 12, 100}).Event(77, {0x80, 60 + i % 12, 0});
    t.EndOfTrack(19);
    const test::Bytes smf = test::Smf(0, 480, {t});
    return {smf.begin(), smf.end()};
}

// The notes that would still sound after the messages: note-ons without their note-off, or all
// of them when sustain was left on.
int SoundingAfter(const std::vector<RecordedMessage>& messages) {
    std::array<std::bitset<128>, 16> held;
    std::bitset<16> sustain;
    for (const auto& m : messages) {
        const auto& b = m.bytes;
        if (b.size() != 3) continue;
        const int channel = b[0] & 0x0F;
        if (IsNoteOn(b)) held[channel][b[1]] = true;
        else if (test::IsNoteOff(b)) held[channel][b[1]] = false;
        else if (IsController(b, 123) || IsController(b, 120)) held[channel].reset();
        else if (IsController(b, 64)) sustain[channel] = b[2] >= 64;
    }
    int sounding = 0;
    for (int c = 0; c < 16; ++c) sounding += int(held[c].count()) + (sustain[c] ? 1 : 0);
    return sounding;
}

class PlayerIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        qRegisterMetaType<kyro::NotifyResult>();
        folder.Write("SONG.MID", test::TestSongMidiFile());
        folder.Write("LONG.MID", LongSong());
        WriteSettings("Output=null\r\nClockScale=10\r\n");
        player.SetSettingsFile(folder.Native("KYRO32.INI"));
        player.SetOutputFactory([this](const OutputSettings&) {
            ++outputsMade;
            auto output = std::make_unique<test::RecordingOutput>();
            log = output->Log();
            return OutputOpenResult{std::move(output), {}};
        });
    }

    void WriteSettings(const std::string& midi) { folder.Write("KYRO32.INI", "[MIDI]\r\n" + midi); }

    bool Open(const std::string& name) { return test::OpenWithWait(player, folder.Native(name)); }
    bool PlayWithNotify() { return test::PlayWithNotify(player); }
    bool PlayWithWait() { return test::PlayWithWait(player); }
    // Runs the event loop until the spy holds count notices (or 10 s went by).
    static bool WaitForNotices(QSignalSpy& spy, int count) {
        for (int i = 0; i < 1000 && spy.count() < count; ++i) QTest::qWait(10);
        return spy.count() >= count;
    }
    static NotifyResult At(const QSignalSpy& spy, int i) { return test::NoticeAt(spy, i); }

    test::TempFolder folder;
    int outputsMade = 0;
    std::shared_ptr<test::RecordingLog> log;
    Player1 player;  // after what its output factory uses
};

TEST_F(PlayerIntegrationTest, APlayToTheEndSendsTheSongAndGivesOneSuccessfulNotice) {
    ASSERT_TRUE(Open("SONG.MID")) << player.ErrorText().toStdString();
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(WaitForNotices(spy, 1));
    QTest::qWait(30);  // nothing else follows
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Successful);
    EXPECT_FALSE(player.IsPlaying());

    const auto messages = log->Messages();
    EXPECT_EQ(messages.size(), test::TestSongEvents().size());
    EXPECT_EQ(SoundingAfter(messages), 0);
    ASSERT_EQ(log->Flushes().size(), 1u);
    EXPECT_EQ(log->Flushes()[0].songTimeUs, test::kTestSongLengthUs);

    // After the end the song starts again from its beginning.
    log->Clear();
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(WaitForNotices(spy, 2));
    EXPECT_EQ(At(spy, 1), NotifyResult::Successful);
    EXPECT_EQ(log->Messages().size(), test::TestSongEvents().size());
}

TEST_F(PlayerIntegrationTest, StopSilencesAndAPlayResumesWhereItStopped) {
    ASSERT_TRUE(Open("LONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(log->WaitForMessages(20, 5s));  // about 1.5 s of song time
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_TRUE(WaitForNotices(spy, 1));
    EXPECT_EQ(At(spy, 0), NotifyResult::Aborted);

    const auto stopped = log->Messages();
    EXPECT_EQ(SoundingAfter(stopped), 0) << "a note or the sustain was left on";
    for (int channel = 0; channel < 16; ++channel)
        for (std::uint8_t cc : {123, 64, 121})
            EXPECT_EQ(log->MessagesWhere([&](const Msg& m) { return m == Msg{std::uint8_t(0xB0 | channel), cc, 0}; }).size(), 1u)
                << "channel " << channel << " controller " << int(cc);
    ASSERT_EQ(log->Flushes().size(), 1u);
    const std::int64_t position = log->Flushes()[0].songTimeUs;
    EXPECT_GT(position, 500000);
    EXPECT_LT(position, 9000000);

    // Playing again: the set-up first (program, sustain), then the notes from the position on.
    log->Clear();
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(log->WaitForMessages(5, 5s));
    const auto resumed = log->Messages();
    EXPECT_EQ(resumed[0].bytes, (Msg{0xC0, 5}));
    EXPECT_EQ(resumed[1].bytes, (Msg{0xB0, 64, 127}));
    for (const auto& m : resumed) EXPECT_GE(m.songTimeUs, position);
    const auto notes = log->MessagesWhere(IsNoteOn);
    ASSERT_FALSE(notes.empty());
    EXPECT_LT(notes[0].songTimeUs, position + 100000);  // the next note, not one from the start

    ASSERT_TRUE(WaitForNotices(spy, 2));
    EXPECT_EQ(At(spy, 1), NotifyResult::Successful);
    EXPECT_EQ(spy.count(), 2);
    EXPECT_EQ(log->Flushes().back().songTimeUs, 10000000);
    // Position .. end: the notes of the rest of the song, none twice.
    EXPECT_LE(notes.size(), 100u - std::size_t(position / 100000));
}

TEST_F(PlayerIntegrationTest, OpenDuringPlaySupersedesSilencesAndKeepsTheOutput) {
    ASSERT_TRUE(Open("LONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(log->WaitForMessages(6, 5s));
    ASSERT_TRUE(Open("SONG.MID"));
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_TRUE(WaitForNotices(spy, 1));
    EXPECT_EQ(At(spy, 0), NotifyResult::Superseded);
    EXPECT_EQ(SoundingAfter(log->Messages()), 0);
    EXPECT_EQ(log->MessagesWhere([](const Msg& m) { return IsController(m, 121); }).size(), 16u);

    // The same settings: the same output, which takes the next song after what it has heard.
    const std::int64_t reached = log->Flushes().back().songTimeUs;
    const std::size_t before = log->MessageCount();
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(WaitForNotices(spy, 2));
    EXPECT_EQ(At(spy, 1), NotifyResult::Successful);
    EXPECT_EQ(outputsMade, 1);
    const auto messages = log->Messages();
    ASSERT_GT(messages.size(), before);
    EXPECT_EQ(messages[before].songTimeUs, reached);  // the GS reset at the song's 0
    EXPECT_EQ(log->Flushes().back().songTimeUs, reached + test::kTestSongLengthUs);
}

TEST_F(PlayerIntegrationTest, CloseDuringPlayAbortsAndSilences) {
    ASSERT_TRUE(Open("LONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    ASSERT_TRUE(PlayWithNotify());
    ASSERT_TRUE(log->WaitForMessages(4, 5s));
    player.Close();
    EXPECT_FALSE(player.IsOpen());
    ASSERT_TRUE(WaitForNotices(spy, 1));
    QTest::qWait(30);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(At(spy, 0), NotifyResult::Aborted);
    EXPECT_EQ(SoundingAfter(log->Messages()), 0);
    const std::size_t count = log->MessageCount();
    QTest::qWait(50);
    EXPECT_EQ(log->MessageCount(), count);  // nothing plays on after the close
}

TEST_F(PlayerIntegrationTest, PlayWithWaitReturnsWhenTheSongHasPlayed) {
    WriteSettings("Output=null\r\nClockScale=20\r\n");  // the 2 s song in 100 ms
    ASSERT_TRUE(Open("SONG.MID"));
    QSignalSpy spy(&player, &Player1::Notified);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(PlayWithWait());
    EXPECT_GE(std::chrono::steady_clock::now() - started, 95ms);
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_EQ(log->Messages().size(), test::TestSongEvents().size());
    ASSERT_EQ(log->Flushes().size(), 1u);
    EXPECT_EQ(log->Flushes()[0].songTimeUs, test::kTestSongLengthUs);
    QTest::qWait(30);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(PlayerIntegrationTest, DamagedAndForeignFilesFailWithATextAndNoSound) {
    const std::string good = test::TestSongMidiFile();
    folder.Write("CUT.MID", good.substr(0, 20));                  // the track's header cut short
    folder.Write("NOTRACK.MID", good.substr(0, 14) + "JUNK" + good.substr(18));  // no MTrk chunk
    for (const char* name : {"CUT.MID", "NOTRACK.MID"}) {
        EXPECT_FALSE(Open(name)) << name;
        EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead) << name;
        EXPECT_FALSE(player.ErrorText().isEmpty()) << name;
        EXPECT_NE(player.ErrorText(), QStringLiteral("原因不明のｴﾗｰ")) << name;
        EXPECT_FALSE(player.IsOpen());
    }

    // The automatic device: what no reader knows is a type the player cannot play.
    folder.Write("SONG.WAV", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    player.SetDeviceType(DeviceType::Automatic);
    EXPECT_FALSE(Open("SONG.WAV"));
    EXPECT_EQ(player.ErrorCode(), kPlayerUnsupportedType);
    EXPECT_FALSE(player.ErrorText().isEmpty());
    EXPECT_NE(player.ErrorText(), QStringLiteral("原因不明のｴﾗｰ"));
    EXPECT_TRUE(Open("SONG.MID")) << "the automatic device plays MIDI files";
    // An RCP file that holds no track is read, and says what is wrong with it.
    folder.Write("SONG.RCP", "RCM-PC98V2.0(C)COME ON MUSIC\r\n");
    for (DeviceType device : {DeviceType::Automatic, DeviceType::Sequencer}) {
        player.SetDeviceType(device);
        EXPECT_FALSE(Open("SONG.RCP"));
        EXPECT_EQ(player.ErrorCode(), kPlayerCannotRead);
        EXPECT_TRUE(player.ErrorText().contains(QStringLiteral("RCP")));
    }
}

TEST_F(PlayerIntegrationTest, AnOutputThatCannotOpenFailsWithItsText) {
    std::string why = "MIDI ポート \"SC-88\" がありません";
    player.SetOutputFactory([&](const OutputSettings&) { return OutputOpenResult{nullptr, why}; });
    EXPECT_FALSE(Open("SONG.MID"));
    EXPECT_EQ(player.ErrorCode(), kPlayerOutputFailed);
    EXPECT_EQ(player.ErrorText(), QString::fromStdString(why));
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(PlayWithNotify());
    EXPECT_EQ(player.ErrorCode(), kPlayerNotOpen);

    why.clear();
    EXPECT_FALSE(Open("SONG.MID"));
    EXPECT_EQ(player.ErrorText(), QStringLiteral("原因不明のｴﾗｰ"));

    // The real table of outputs, asked for one it does not have.
    player.SetOutputFactory({});
    WriteSettings("Output=telepathy\r\n");
    EXPECT_FALSE(Open("SONG.MID"));
    EXPECT_EQ(player.ErrorCode(), kPlayerOutputFailed);
    EXPECT_TRUE(player.ErrorText().contains(QStringLiteral("telepathy")));
}

TEST_F(PlayerIntegrationTest, ChangedSettingsOpenANewOutputAndReleaseTheOld) {
    ASSERT_TRUE(Open("SONG.MID"));
    const auto first = log;
    ASSERT_TRUE(Open("SONG.MID"));
    EXPECT_EQ(outputsMade, 1);
    WriteSettings("Output=null\r\nClockScale=50\r\n");
    ASSERT_TRUE(Open("SONG.MID"));
    EXPECT_EQ(outputsMade, 2);
    EXPECT_TRUE(first->Destroyed());
    EXPECT_FALSE(log->Destroyed());
}

// The real sequencer rendering to a WAV file through FluidSynth.
TEST(PlayerWavTest, ASongPlayedToTheWavOutputHasItsLengthAndSound) {
    if (FindSoundFont(UsualSoundFontPlaces()).empty()) GTEST_SKIP() << "no SoundFont installed";
    test::TempFolder folder;
    folder.Write("SONG.MID", test::TestSongMidiFile());
    folder.Write("KYRO32.INI", "[MIDI]\r\nOutput=wav\r\nWavFile=song.wav\r\nClockScale=20\r\n");
    {
        Player1 player;
        player.SetSettingsFile(folder.Native("KYRO32.INI"));
        player.SetFileName(folder.Native("SONG.MID"));
        player.SetWait(true);
        ASSERT_TRUE(player.Open()) << player.ErrorText().toStdString();
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(player.Play());
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s) << "ClockScale=20 plays 2 s in 0.1 s";
        player.Close();
    }  // the recording is complete when the output closes with the player
    const test::WavFileData wav = test::ReadWavFile(folder.Native("song.wav"));
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_NEAR(wav.Seconds(), double(test::kTestSongLengthUs) / 1e6, 0.002);
    EXPECT_GT(wav.Peak(), 1000) << "the recording is silent";
}

}  // namespace
}  // namespace kyro
