// The main window's transport: PLAY, pause and resume, STOP, FF and REW in each player state,
// the end of a song, the auto-start countdown, a changed list, the busy flag, LIST, SYSTEM and
// the list editor's say in closing.
#include "app/playerwindow.h"

#include "app/resumestate.h"
#include "editor/tfmmidiopen.h"

#include <QApplication>
#include <QDialog>

namespace kyro {
namespace {

using test::PlayerWindowTest;

class TransportTest : public PlayerWindowTest {
protected:
    // Every open names a song or reset file; the songs opened, in order.
    std::vector<std::string> SongsOpened() const {
        std::vector<std::string> songs;
        for (const auto& c : log->commands)
            if (c.rfind("open ", 0) == 0 && c.find("MAP") == std::string::npos && c != "open GM.MID" &&
                c != "open 88Pro.MID")
                songs.push_back(c.substr(5));
        return songs;
    }
};

TEST_F(TransportTest, AutoStartCountsDownOnceASecondAndPlaysTheCurrentSong) {
    auto mid = Start(ThreeSongs(), std::string(kSequential) + "AutoStart=5\r\n");
    EXPECT_EQ(mid->State(), PlayerState::Resting);
    EXPECT_EQ(Status(*mid), QStringLiteral("Rest 5s"));
    for (int left = 4; left >= 1; --left) {
        mid->Timer1Timer();
        EXPECT_EQ(Status(*mid), QStringLiteral("Rest %1s").arg(left));
        EXPECT_TRUE(log->commands.empty());
    }
    mid->Timer1Timer();
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(SongsOpened(), (Commands{"ALPHA.MID"}));
    EXPECT_FALSE(TimerActive(*mid));
    EXPECT_EQ(mid->TimerMode(), 0);
}

TEST_F(TransportTest, StopDuringTheRestCancelsTheCountdown) {
    auto mid = Start(ThreeSongs(), std::string(kSequential) + "AutoStart=5\r\n");
    mid->pbSTOPClick();
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Status(*mid), QStringLiteral("STOP"));
    EXPECT_FALSE(TimerActive(*mid));
    EXPECT_EQ(mid->TimerMode(), 0);
    mid->Timer1Timer();  // a tick already queued does nothing
    EXPECT_TRUE(log->commands.empty());
}

TEST_F(TransportTest, PlayPausesAndResumesWhereItStopped) {
    auto mid = Start(ThreeSongs());
    mid->pbPLAYClick();
    log->Clear();
    mid->pbPLAYClick();
    EXPECT_EQ(mid->State(), PlayerState::Paused);
    EXPECT_EQ(Status(*mid), QStringLiteral("PAUSE..."));
    EXPECT_EQ(log->commands, (Commands{"stop"}));  // no close: the position stays
    mid->pbPLAYClick();
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(Status(*mid), QStringLiteral("PLAYING"));
    EXPECT_EQ(log->commands, (Commands{"stop", "play notify"}));
}

TEST_F(TransportTest, AFailedResumeIsAnErrorAndClicksDuringItsMessageAreIgnored) {
    auto mid = Start(ThreeSongs());
    mid->pbPLAYClick();
    mid->pbPLAYClick();
    log->Clear();
    log->failNextPlay = true;
    // While the message is up, every transport button is pressed.
    MessageHandler outer = SetMessageResponder([&](const Message&) {
        for (const char* name : {"pbPLAY", "pbFF", "pbREW", "pbSTOP"}) {
            QMetaObject::invokeMethod(Button(*mid, name), "click");
        }
        return ModalResult::Ok;
    });
    mid->pbPLAYClick();
    SetMessageResponder(outer);
    EXPECT_EQ(log->commands, (Commands{"play notify"}));
    EXPECT_EQ(mid->State(), PlayerState::Error);
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("ALPHA.MID"));
    mid->pbSTOPClick();
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
}

TEST_F(TransportTest, ForwardAndBackInEachState) {
    auto mid = Start(ThreeSongs());
    // Stopped: the current song moves, nothing plays.
    mid->pbFFClick();
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("BETA.MID"));
    EXPECT_TRUE(log->commands.empty());
    EXPECT_EQ(mid->State(), PlayerState::Stopped);

    // Playing: the new song starts at once, without a stop.
    mid->pbPLAYClick();
    log->Clear();
    mid->pbFFClick();
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("GAMMA.MID"));
    EXPECT_EQ(log->commands, (Commands{"open 88MAP.MID", "play wait", "close", "open GAMMA.MID", "play notify"}));
    log->Clear();
    mid->pbREWClick();
    EXPECT_EQ(log->commands, (Commands{"open BETA.MID", "play notify"}));
    EXPECT_EQ(mid->State(), PlayerState::Playing);

    // Paused: the pause ends with the player stopped on the next song.
    mid->pbPLAYClick();
    log->Clear();
    mid->pbFFClick();
    EXPECT_EQ(mid->State(), PlayerState::Stopped);
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("GAMMA.MID"));
    EXPECT_EQ(Status(*mid), QStringLiteral("STOP"));
    EXPECT_TRUE(SongsOpened().empty());

    // Error: FF moves on and stays in Error until STOP.
    log->failNextOpen = true;
    mid->pbREWClick();
    mid->pbPLAYClick();
    ASSERT_EQ(mid->State(), PlayerState::Error);
    mid->pbFFClick();
    EXPECT_EQ(mid->State(), PlayerState::Error);
    EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("GAMMA.MID"));
}

TEST_F(TransportTest, EachSongThatEndsIsFollowedByTheNextAndOtherNoticesAreIgnored) {
    auto mid = Start(ThreeSongs());
    mid->pbPLAYClick();
    mid->Player1Notify(NotifyResult::Aborted);
    mid->Player1Notify(NotifyResult::Superseded);
    EXPECT_EQ(SongsOpened(), (Commands{"ALPHA.MID"}));
    log->EndSong();
    log->EndSong();
    log->EndSong();  // past the end: a new pass in list order
    EXPECT_EQ(SongsOpened(), (Commands{"ALPHA.MID", "BETA.MID", "GAMMA.MID", "ALPHA.MID"}));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
}

TEST_F(TransportTest, StopInEachPlayingStateClosesThePlayer) {
    for (int paused = 0; paused < 2; ++paused) {
        auto mid = Start(ThreeSongs());
        mid->pbPLAYClick();
        if (paused) mid->pbPLAYClick();
        log->Clear();
        mid->pbSTOPClick();
        EXPECT_EQ(mid->State(), PlayerState::Stopped);
        EXPECT_EQ(Status(*mid), QStringLiteral("STOP"));
        EXPECT_EQ(log->commands.back(), "close");
        EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("ALPHA.MID"));
    }
}

TEST_F(TransportTest, AListSavedWhilePlayingTakesEffectWhenTheSongEnds) {
    auto mid = Start(ThreeSongs());
    mid->pbPLAYClick();
    // The editor saves a list without ALPHA; the song plays on.
    SongList songs = ThreeSongs();
    songs.groups[0].Remove(0);
    songs.groups[0].Append({Song("ALPHA.MID"), "last", '0'});
    mid->ReplaceSongList(songs);
    SendLinkMessage(mid.get(), LinkMessage::UM_LIST_CHANGED);
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(SongsOpened(), (Commands{"ALPHA.MID"}));
    // The next song is the rebuilt queue's second: after BETA comes ALPHA.
    log->EndSong();
    EXPECT_EQ(SongsOpened(), (Commands{"ALPHA.MID", "ALPHA.MID"}));
    EXPECT_EQ(Panel(*mid, "edAllList"), QStringLiteral("0002/0003"));
}

// The editor's OK and Update send the notice; its other saves (the group switch, the lost-file
// check, the close query) only mark the list changed, which a stopped player takes at once.
TEST_F(TransportTest, AListSavedWhileStoppedShowsTheRebuiltQueue) {
    for (const bool notice : {true, false}) {
        SCOPED_TRACE(notice);
        auto mid = Start(ThreeSongs());
        mid->pbFFClick();
        SongList songs = ThreeSongs();
        songs.groups[0].Clear();
        mid->ReplaceSongList(songs);
        if (notice) mid->OnListChanged();
        else mid->SetReloadPending();
        EXPECT_EQ(Panel(*mid, "edFile"), QStringLiteral("GAMMA.MID"));
        EXPECT_EQ(Panel(*mid, "edAllList"), QStringLiteral("0001/0001"));
        EXPECT_TRUE(log->commands.empty());
    }
}

TEST_F(TransportTest, ListWindowAndSystemDialog) {
    auto mid = Start(ThreeSongs());
    TfmMidiOpen editor;
    mid->SetListEditor(&editor);
    Button(*mid, "pbLIST")->click();
    EXPECT_TRUE(editor.isVisible());
    editor.showMinimized();  // LIST brings a minimised editor back, not only raises it
    Button(*mid, "pbLIST")->click();
    EXPECT_FALSE(editor.isMinimized());

    QString caption;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            caption = dialog->windowTitle();
            modal = dialog->isModal();
            dialog->reject();
        }
    });
    Button(*mid, "pbSYSTEM")->click();
    EXPECT_EQ(caption, QStringLiteral("System"));
    EXPECT_TRUE(modal);
}

// An editor whose close query answers as the test says.
class AnsweringEditor : public TfmMidiOpen {
public:
    bool CloseQuery() override {
        ++asked;
        return allow;
    }
    bool allow = false;
    int asked = 0;
};

TEST_F(TransportTest, AVisibleEditorThatRefusesKeepsTheProgramPlaying) {
    auto mid = Start(ThreeSongs());
    AnsweringEditor editor;
    mid->SetListEditor(&editor);
    mid->show();
    mid->pbPLAYClick();
    std::remove(folder.Native(kTitleFileName).c_str());

    editor.show();
    EXPECT_FALSE(mid->close());
    EXPECT_EQ(editor.asked, 1);
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_FALSE(folder.Exists(kTitleFileName));

    editor.allow = true;
    log->Clear();
    EXPECT_TRUE(mid->close());
    EXPECT_EQ(log->commands, (Commands{"stop"}));
    EXPECT_TRUE(folder.Exists(kTitleFileName));
    EXPECT_TRUE(folder.Exists(kResumeFileName));
}

}  // namespace
}  // namespace kyro
