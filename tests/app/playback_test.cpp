// Starting a song from the main window: the reset file before it, the title read on first play
// and stored in every entry of the path, the errors of each step, the wait for a busy archive
// library, and the test play of the list editor.
#include "app/playerwindow.h"

#include "editor/tfmmidiopen.h"
#include "platform/filesystem.h"

#include <dlfcn.h>

#include <filesystem>

namespace kyro {
namespace {

using test::PlayerWindowTest;

const QString kUntitled = QStringLiteral("－タイトル未取得－");

class PlaybackTest : public PlayerWindowTest {};

TEST_F(PlaybackTest, FirstPlayPlaysTheResetFileThenStoresTheTitleReadInEveryEntryOfThePath) {
    SongList songs = ThreeSongs();
    songs.groups[2].Append({Song("ALPHA.MID"), "old", '0'});  // the same file in another group
    auto mid = Start(songs);
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands, (Commands{"open GM.MID", "play wait", "close", "open ALPHA.MID", "play notify"}));
    EXPECT_EQ(log->devices.back(), "seq");
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(Status(*mid), QStringLiteral("PLAYING"));
    EXPECT_EQ(Title(*mid), QStringLiteral("Alpha"));
    EXPECT_EQ(mid->Songs().groups[0].Title(0), "Alpha");
    EXPECT_EQ(mid->Songs().groups[2].Title(0), "Alpha");
    EXPECT_EQ(mid->Songs().groups[1].Title(0), kUntitledMarker);
    EXPECT_TRUE(messages.Messages().empty());

    mid->close();  // the title read is in the title file
    EXPECT_EQ(folder.Read(kTitleFileName).rfind("Alpha\r\nBeta\r\n", 0), 0u);
}

TEST_F(PlaybackTest, AStoredTitleIsShownWithoutReadingTheFile) {
    auto mid = Start(ThreeSongs());
    mid->pbFFClick();
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands, (Commands{"open BETA.MID", "play notify"}));  // map '0': no reset
    EXPECT_EQ(Title(*mid), QStringLiteral("Beta"));
    EXPECT_EQ(mid->Songs().groups[0].Title(1), "Beta");
}

TEST_F(PlaybackTest, AMissingResetFileIsSkippedSilently) {
    std::remove(folder.Native("GM.MID").c_str());
    auto mid = Start(ThreeSongs());
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands, (Commands{"open ALPHA.MID", "play notify"}));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(PlaybackTest, EveryFailureOfASongEndsInErrorWithItsMessage) {
    struct Case {
        const char* name;
        std::string file;           // Group1's only song
        bool failOpen, failPlay;
        QString message;
    };
    const std::string wav = Song("NOISE.WAV");
    const std::string gone = Song("GONE.MID");
    const Case cases[] = {
        {"not a song", wav, false, false, QStringLiteral("ﾌｧｲﾙの形式が不正です。\n") + Cp932ToQString(wav)},
        {"cannot open", gone, false, false, QStringLiteral("ﾌｧｲﾙを開けませんでした。\n") + Cp932ToQString(gone)},
        {"open fails", Song("ALPHA.MID"), true, false, QStringLiteral("出力を開けません。")},
        {"play fails", Song("ALPHA.MID"), false, true, QStringLiteral("デバイスが開かれていません。")},
    };
    folder.Write("NOISE.WAV", "RIFF");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SongList songs;
        songs.groups[0].Append({c.file, kUntitledMarker, '0'});
        auto mid = Start(songs);
        const std::size_t before = messages.Messages().size();
        log->failNextOpen = c.failOpen;
        log->failNextPlay = c.failPlay;
        mid->pbPLAYClick();
        ASSERT_EQ(messages.Messages().size(), before + 1);
        EXPECT_EQ(messages.Messages().back().text, c.message);
        EXPECT_EQ(messages.Messages().back().icon, MessageIcon::Exclamation);
        EXPECT_EQ(mid->State(), PlayerState::Error);
        EXPECT_EQ(Status(*mid), QStringLiteral("ERROR"));
        // The title is read before the player opens the song.
        EXPECT_EQ(mid->Songs().groups[0].Title(0), c.failOpen || c.failPlay ? "Alpha" : kUntitledMarker);
    }
}

TEST_F(PlaybackTest, AFailingResetFileStopsTheSongBeforeItIsOpened) {
    auto mid = Start(ThreeSongs());
    log->failNextOpen = true;
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands, (Commands{"open GM.MID"}));
    EXPECT_EQ(messages.Texts(), (std::vector<QString>{QStringLiteral("出力を開けません。")}));
    EXPECT_EQ(mid->State(), PlayerState::Error);
}

// The recording archive library, loaded by the window and steered by the test.
class ArchivePlaybackTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        PlayerWindowTest::SetUp();
        const std::string path = KYRO_RECORDING_UNLHA;
        archiveFolder = path.substr(0, path.rfind('/'));
        archiveFile = path.substr(path.rfind('/') + 1);
        library_ = dlopen(path.c_str(), RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        Call<void (*)()>("RecordingReset")();
    }
    void TearDown() override { dlclose(library_); }

    template <typename F>
    F Call(const char* name) {
        return reinterpret_cast<F>(dlsym(library_, name));
    }
    void SetRunning(int running) { Call<void (*)(int)>("RecordingSetRunning")(running); }
    void SetCommandResult(int result) { Call<void (*)(int)>("RecordingSetCommandResult")(result); }

    std::unique_ptr<TfmMid> StartOnArchivedSong(int unlhaBusy) {
        SongList songs;
        songs.groups[0].Append({Song("PACK.LZH->ALPHA.MID"), kUntitledMarker, '0'});
        return Start(songs, std::string(kSequential) + "UnlhaBusy=" + std::to_string(unlhaBusy) + "\r\n");
    }

    void* library_ = nullptr;
};

TEST_F(ArchivePlaybackTest, ABusyLibraryIsWaitedForAndTriedAgain) {
    auto mid = StartOnArchivedSong(10);
    ASSERT_TRUE(mid->ArchiveAvailable());
    SetRunning(1);
    mid->pbPLAYClick();
    EXPECT_EQ(mid->State(), PlayerState::Waiting);
    EXPECT_EQ(Status(*mid), QStringLiteral("Wait 10s"));
    EXPECT_TRUE(TimerActive(*mid));
    for (int left = 9; left >= 1; --left) {
        mid->Timer1Timer();
        EXPECT_EQ(Status(*mid), QStringLiteral("Wait %1s").arg(left));
    }
    mid->Timer1Timer();  // still busy: the wait starts over
    EXPECT_EQ(mid->State(), PlayerState::Waiting);
    EXPECT_EQ(Status(*mid), QStringLiteral("Wait 10s"));
    EXPECT_TRUE(TimerActive(*mid));

    SetRunning(0);
    SetCommandResult(1);  // the library now fails: Error without a message
    for (int i = 0; i < 10; ++i) mid->Timer1Timer();
    EXPECT_EQ(mid->State(), PlayerState::Error);
    EXPECT_FALSE(TimerActive(*mid));
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_TRUE(log->commands.empty());
}

TEST_F(ArchivePlaybackTest, ABusyLibraryWithoutAWaitStops) {
    auto mid = StartOnArchivedSong(0);
    SetRunning(1);
    mid->pbPLAYClick();
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Status(*mid), QStringLiteral("STOP"));
    EXPECT_FALSE(TimerActive(*mid));
}

TEST_F(ArchivePlaybackTest, AListSavedDuringTheWaitStartsTheRebuiltQueuesSong) {
    auto mid = StartOnArchivedSong(10);
    SetRunning(1);
    mid->pbPLAYClick();
    ASSERT_EQ(mid->State(), PlayerState::Waiting);
    SongList songs = mid->Songs();
    songs.groups[0].Replace(0, {Song("BETA.MID"), "Beta", '0'});
    mid->ReplaceSongList(songs);
    SendLinkMessage(mid.get(), LinkMessage::UM_LIST_CHANGED);
    EXPECT_EQ(log->commands, (Commands{"open BETA.MID", "play notify"}));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_FALSE(TimerActive(*mid));
}

// The real archive library on the demo's archive: whatever fails after unpacking, the copy goes.
TEST_F(PlaybackTest, AnUnpackedCopyIsRemovedOnEveryFailureAfterUnpacking) {
    std::filesystem::copy_file(std::string(KYRO_DEMO_DIR) + "/LZH/NIHON.LZH", folder.Native("NIHON.LZH"));
    archiveFolder = KYRO_UNLHA32_DIR;
    struct Case {
        const char* member;
        char map;
        bool failOpen, failPlay;
    };
    const Case cases[] = {
        {"README.TXT", '0', false, false},  // not a song
        {"kaeru.mid", '1', true, false},    // the reset file fails
        {"kaeru.mid", '0', true, false},    // the song cannot be opened
        {"kaeru.mid", '0', false, true},    // nor played
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.member) + " map " + c.map);
        SongList songs;
        songs.groups[0].Append({Song("NIHON.LZH->") + c.member, kUntitledMarker, c.map});
        auto mid = Start(songs);
        ASSERT_TRUE(mid->ArchiveAvailable());
        log->failNextOpen = c.failOpen;
        log->failNextPlay = c.failPlay;
        const std::size_t shown = messages.Messages().size();
        mid->pbPLAYClick();
        EXPECT_EQ(mid->State(), PlayerState::Error);
        EXPECT_EQ(messages.Messages().size(), shown + 1);  // it failed after unpacking, with a message
        EXPECT_TRUE(std::filesystem::is_empty(*NativePath(mid->UnpackFolder())));
    }
}

TEST_F(PlaybackTest, ATestPlayReadsItsTitleAndReturnsToTheCurrentSongWhenItEnds) {
    SongList songs = ThreeSongs();
    songs.groups[0].SetTitle(0, "Kept");
    auto mid = Start(songs);
    mid->StartTestPlay(Song("GAMMA.MID"), '1');
    EXPECT_EQ(log->commands, (Commands{"open 88MAP.MID", "play wait", "close", "open GAMMA.MID", "play notify"}));
    EXPECT_EQ(Title(*mid), QStringLiteral("ガンマ"));
    EXPECT_EQ(Panel(*mid, "edNum"), QStringLiteral("TST"));
    EXPECT_EQ(Panel(*mid, "edGrpMode"), QStringLiteral("TEST PLAY"));
    EXPECT_EQ(mid->Songs().groups[0].Title(0), "Kept");                                   // the current song
    EXPECT_EQ(mid->Songs().groups[1].Title(0), Utf8ToCp932("ガンマ").value());  // the list's own entry

    log->Clear();
    log->EndSong();
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("ALPHA.MID"));
    EXPECT_EQ(Title(*mid), QStringLiteral("Kept"));
    EXPECT_EQ(Panel(*mid, "edGrpMode"), QStringLiteral("SEQUENTIAL"));
    EXPECT_EQ(log->commands, (Commands{"stop", "close"}));  // nothing else is played
}

// Without a list the stopped state's NOLIST emptied the panels the test play had just filled.
TEST_F(PlaybackTest, ATestPlayWithoutAListShowsItsSongAndItsEndShowsNolistAgain) {
    auto mid = Start(SongList{}, "[KYRO32]\r\nWarningMsg=2\r\nListRandomType=3\r\nGroupRandomType=2\r\n");
    ASSERT_TRUE(mid->NoList());
    mid->StartTestPlay(Song("GAMMA.MID"), '1');
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    const std::pair<const char*, QString> shown[] = {{"edFile", QStringLiteral("GAMMA.MID")}, {"edNum", QStringLiteral("TST")},
                                                     {"edGroup", QStringLiteral(" Test Play Mode")},
                                                     {"edAllList", QStringLiteral("TEST/TEST")}};
    for (const auto& [panel, text] : shown) EXPECT_EQ(Panel(*mid, panel), text) << panel;

    log->EndSong();
    EXPECT_EQ(Status(*mid), QStringLiteral("NOLIST"));
    EXPECT_EQ(Panel(*mid, "edAllList"), QStringLiteral("0000/0000"));
}

// Records the titles sent while it is visible.
class TitleRecordingEditor : public TfmMidiOpen {
public:
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam& lParam) override {
        if (msg == LinkMessage::UM_SET_TITLE) received.push_back(*LParamText(lParam));
        return 0;
    }
    std::vector<std::string> received;
};

TEST_F(PlaybackTest, TitlesReadAreSentToTheListEditorOnlyWhileItIsVisible) {
    auto mid = Start(ThreeSongs());
    TitleRecordingEditor editor;
    mid->SetListEditor(&editor);
    mid->ApplyTitle(Song("BETA.MID"), "hidden");
    EXPECT_TRUE(editor.received.empty());
    editor.show();
    mid->pbPLAYClick();
    EXPECT_EQ(editor.received, (std::vector<std::string>{Song("ALPHA.MID") + ";Alpha"}));
}

}  // namespace
}  // namespace kyro
