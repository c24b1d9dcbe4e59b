// The main window's controls and notices: the transport buttons, the end of a song, a changed
// list or settings, the one-second countdowns, and the LIST and SYSTEM buttons.
//
// Message boxes run nested event loops, so a click can arrive while another is being handled;
// the busy flag (which the list editor also sets during its long work) turns such clicks away.
#include "app/tfmmid.h"

#include "companions/tfmsystem.h"
#include "editor/tfmmidiopen.h"
#include "sequencer/outputs.h"
#include "widgets/mpanel.h"

#include <QTimer>

namespace kyro {

namespace {

// Sets the busy flag for the length of a handler.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

}  // namespace

void TfmMid::ShowCurrentOrNext() {
    if (!ShowCurrentSong() && !order_.NextSong()) UpdateStatusDisplay();
}

void TfmMid::ApplyPendingReload() {
    if (!reloadPending_) return;
    ShowCurrentOrNext();
    reloadPending_ = false;
}

// The song on show: the test song during a test play, else the current song of the queue.
void TfmMid::PlayCurrentSong() {
    if (testPlay_) return PlaySong(testPath_, MapCodeValue(testMap_));
    const int g = order_.CurGroup();
    const int i = order_.CurIndex();
    if (g < 0 || g >= kGroupCount || i < 0 || i >= songs_.groups[g].Count()) {
        // Nothing current (the list was emptied): nothing to play, and no countdown left.
        if (state_ == PlayerState::Resting) state_ = PlayerState::Stopped;
        UpdateStatusDisplay();
        return;
    }
    PlaySong(songs_.groups[g].Path(i), MapCodeValue(songs_.groups[g].Map(i)));
}

void TfmMid::ClosePlayer() {
    player1_->SetWait(true);
    player1_->SetNotify(false);
    player1_->Close();
    openSong_.clear();
}

void TfmMid::pbPLAYClick() {
    if (busy_) return;
    BusyScope scope(busy_);
    switch (state_) {
    case PlayerState::Playing:  // pause: a stop that keeps the position
        StopPlayback();
        state_ = PlayerState::Paused;
        UpdateStatusDisplay();
        break;
    case PlayerState::Paused:
        player1_->SetWait(false);
        player1_->SetNotify(true);
        SetStatusNow(QStringLiteral("RESUME..."));
        if (!player1_->Play()) {
            FailSong(songFile_);
            return;
        }
        state_ = PlayerState::Playing;
        UpdateStatusDisplay();
        break;
    case PlayerState::Stopped:
        if (ShowCurrentSong() || order_.NextSong()) PlayCurrentSong();
        else UpdateStatusDisplay();
        break;
    default:
        break;
    }
}

void TfmMid::pbSTOPClick() {
    if (order_.NoList()) {
        if (busy_) return;
        BusyScope scope(busy_);
        testPlay_ = false;
        StopPlayback();
        ClosePlayer();
        state_ = PlayerState::Stopped;
        UpdateStatusDisplay();
        return;
    }
    switch (state_) {
    case PlayerState::Stopped:
    case PlayerState::Playing:
    case PlayerState::Paused: {
        if (busy_) return;
        BusyScope scope(busy_);
        if (testPlay_) {
            testPlay_ = false;
            ShowCurrentOrNext();
        }
        StopPlayback();
        ClosePlayer();
        state_ = PlayerState::Stopped;
        UpdateStatusDisplay();
        break;
    }
    case PlayerState::Waiting:
    case PlayerState::Resting:
        if (busy_) return;
        timerMode_ = 0;
        countdown_ = 0;
        timer1_->stop();
        state_ = PlayerState::Stopped;
        ApplyPendingReload();
        UpdateStatusDisplay();
        break;
    case PlayerState::Error:
        player1_->SetWait(true);
        player1_->SetNotify(false);
        player1_->Stop();
        ClosePlayer();
        state_ = PlayerState::Stopped;
        // A failed test play ends here too, or the window would keep showing the test song.
        if (testPlay_) {
            testPlay_ = false;
            if (!reloadPending_) ShowCurrentOrNext();
        }
        ApplyPendingReload();
        UpdateStatusDisplay();
        break;
    }
}

void TfmMid::SkipSong(bool forward) {
    if (busy_) return;
    BusyScope scope(busy_);
    if (state_ == PlayerState::Paused) StopPlayback();  // the pause ends; the player is stopped
    bool moved;
    if (reloadPending_) {
        moved = ShowCurrentSong() || order_.NextSong();
        reloadPending_ = false;
    } else {
        moved = forward ? order_.NextSong() : order_.PreviousSong();
    }
    if (!moved) {
        UpdateStatusDisplay();
        return;
    }
    // While playing, opening the new song closes the old one: no separate stop.
    if (state_ == PlayerState::Playing) PlayCurrentSong();
}

void TfmMid::pbFFClick() { SkipSong(true); }

void TfmMid::pbREWClick() { SkipSong(false); }

void TfmMid::Player1Notify(NotifyResult result) {
    if (result != NotifyResult::Successful) return;  // superseded, aborted or failed
    StopPlayback();  // applies a pending list change
    ClosePlayer();
    state_ = PlayerState::Stopped;
    UpdateStatusDisplay();
    if (testPlay_) {  // back to the normal current song, stopped
        testPlay_ = false;
        if (order_.NoList()) UpdateStatusDisplay();
        else ShowCurrentOrNext();
        return;
    }
    if (order_.NextSong()) PlayCurrentSong();
    else UpdateStatusDisplay();
}

void TfmMid::OnListChanged() {
    reloadPending_ = true;
    if (!order_.BuildPlayQueue()) {
        if (!testPlay_) UpdateStatusDisplay();
        return;
    }
    switch (state_) {
    case PlayerState::Stopped:
    case PlayerState::Error:
        ShowCurrentOrNext();
        reloadPending_ = false;
        break;
    case PlayerState::Waiting:  // the waiting song is dropped; the new current song starts
        pbSTOPClick();
        pbPLAYClick();
        break;
    default:  // playing, paused or resting: the change takes effect at the next stop or song
        break;
    }
}

// A stopped player has no song to finish, so it takes the changed list at once, as the notice
// makes it; otherwise the list waits for the next stop or song.
void TfmMid::SetReloadPending() {
    if ((state_ == PlayerState::Stopped || state_ == PlayerState::Error) && !testPlay_) return OnListChanged();
    reloadPending_ = true;
}

std::intptr_t TfmMid::HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam&) {
    if (msg == LinkMessage::UM_LIST_CHANGED) OnListChanged();
    return 0;
}

void TfmMid::Timer1Timer() {
    if (timerMode_ != 1 && timerMode_ != 2) return;
    const bool autoStart = timerMode_ == 1;
    const QString format = autoStart ? QStringLiteral("Rest %1s") : QStringLiteral("Wait %1s");
    --countdown_;
    if (countdown_ > 0) {
        edStatus_->SetCaption(format.arg(countdown_));
        return;
    }
    edStatus_->SetCaption(format.arg(0));
    timer1_->stop();
    timerMode_ = 0;
    if (autoStart) {
        ShowCurrentSong();
        PlayCurrentSong();
    } else {
        PlaySong(pendingPath_, pendingMap_);  // still busy: the wait starts over
    }
}

void TfmMid::pbLISTClick() {
    if (!editor_ && editorMaker_) editorMaker_();
    if (!editor_) return;
    if (editor_->isMinimized()) editor_->showNormal();
    else editor_->show();
    editor_->raise();
    editor_->activateWindow();
}

void TfmMid::pbSYSTEMClick() {
    MidiChoices choices;
    for (const OutputKind& kind : KnownOutputs()) choices.outputs.emplace_back(kind.name);
    choices.ports = ListMidiPorts();
    TfmSystem dialog(*this, std::move(choices), this);
    // The other drive boxes are filled when their windows open; the editor's lives on.
    if (dialog.exec() == QDialog::Accepted && editor_) editor_->RefillDriveBox();
}

}  // namespace kyro
