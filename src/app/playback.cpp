// The main window's path from a list entry to sound: unpacking an archived song into the
// temporary folder, the reset file of its map code, the title read on first play, and the
// sequencer. Every error ends in the Error state; an unpacked copy never outlives its song.
#include "app/tfmmid.h"

#include "editor/tfmmidiopen.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/filekinds.h"
#include "songfiles/tempcopy.h"
#include "songfiles/titles.h"
#include "widgets/mpanel.h"

#include <QLineEdit>
#include <QTimer>

namespace kyro {

namespace {

struct ResetFile {
    int mapCode;
    const char* fileName;  // in the program folder
    const char* status;    // shown while it plays
    bool TfmMid::*present;
};

}  // namespace

void TfmMid::SetStatusNow(const QString& text) {
    edStatus_->SetCaption(text);
    edStatus_->repaint();
}

void TfmMid::ShowError(const QString& text) {
    ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
    state_ = PlayerState::Error;
    UpdateStatusDisplay();
}

void TfmMid::DeleteTempCopy(const std::string& realPath) {
    if (tempCopy_) DeleteTemporaryCopy(unpackFolder_, realPath);
}

void TfmMid::FailSong(const std::string& realPath) {
    ShowError(player1_->ErrorText());
    DeleteTempCopy(realPath);
}

void TfmMid::PlaySong(const std::string& listPath, int mapCode) {
    openSong_.clear();  // a reset file or this song takes the place of the one open
    SetStatusNow(QStringLiteral("UNPACKING"));  // unpacking can take a while

    std::string realPath;
    switch (ExtractArchiveMember(archive_.get(), listPath, unpackFolder_, realPath)) {
    case kExtractBusy:
        tempCopy_ = true;
        if (settings_.unlhaBusy > 0 && !timer1_->isActive()) {
            pendingPath_ = listPath;
            pendingMap_ = mapCode;
            timerMode_ = 2;
            countdown_ = settings_.unlhaBusy;
            timer1_->start();
            state_ = PlayerState::Waiting;
        } else {
            state_ = PlayerState::Stopped;
        }
        UpdateStatusDisplay();
        return;
    case kExtractNotMember:
        tempCopy_ = false;
        realPath = listPath;
        break;
    case kExtractOk:
        tempCopy_ = true;
        break;
    default:  // the library failed or is not available; it has said nothing of its own
        state_ = PlayerState::Error;
        UpdateStatusDisplay();
        return;
    }
    songFile_ = realPath;

    if (!PlayResetFile(mapCode)) {
        DeleteTempCopy(realPath);  // the song will not play: its copy must not stay behind
        return;
    }

    const FileKind kind = ClassifyFileName(realPath, kPurposeSongs);
    const bool known = !testPlay_ && order_.CurrentSongValid() &&
                       songs_.groups[order_.CurGroup()].Title(order_.CurIndex()) != kUntitledMarker;
    std::string title;
    if (known) {
        title = songs_.groups[order_.CurGroup()].Title(order_.CurIndex());
    } else {
        if (kind != FileKind::Mid && kind != FileKind::Rcp) {
            ShowError(QStringLiteral("ﾌｧｲﾙの形式が不正です。\n") + Cp932ToQString(realPath));
            DeleteTempCopy(realPath);
            return;
        }
        const int read = kind == FileKind::Mid ? ReadMidiTitle(realPath, title) : ReadRcpTitle(realPath, title);
        if (read != kTitleRead) {
            DeleteTempCopy(realPath);
            ShowError((read == kTitleCannotOpen ? QStringLiteral("ﾌｧｲﾙを開けませんでした。\n")
                                                : QStringLiteral("ﾌｧｲﾙが異常です。\n")) +
                      Cp932ToQString(realPath));
            return;
        }
        ApplyTitle(listPath, title);  // the current song is among the entries of this path
    }
    ShowTitle(Cp932ToQString(title));

    player1_->SetDeviceType(kind == FileKind::Mid ? DeviceType::Sequencer : DeviceType::Automatic);
    player1_->SetWait(true);
    player1_->SetNotify(false);
    player1_->SetFileName(NativePath(realPath).value_or(std::string()));
    if (!player1_->Open()) return FailSong(realPath);
    openSong_ = listPath;
    player1_->SetWait(false);
    player1_->SetNotify(true);
    if (!player1_->Play()) return FailSong(realPath);

    state_ = PlayerState::Playing;
    UpdateStatusDisplay();
    DeleteTempCopy(realPath);  // the player has read the whole song
}

bool TfmMid::PlayResetFile(int mapCode) {
    static const ResetFile kResetFiles[] = {
        {1, "88MAP.MID", "88MAP", &TfmMid::has88Map_},
        {2, "55MAP.MID", "55MAP", &TfmMid::has55Map_},
        {3, "GM.MID", "GM-SYSTEM-ON", &TfmMid::hasGM_},
        {4, "88Pro.MID", "88ProMAP", &TfmMid::has88Pro_},
    };
    const QString remembered = edStatus_->Caption();
    const ResetFile* reset = nullptr;
    for (const auto& candidate : kResetFiles)
        if (candidate.mapCode == mapCode) reset = &candidate;
    if (!reset || !(this->*reset->present)) return true;

    SetStatusNow(QString::fromLatin1(reset->status));
    player1_->SetWait(true);
    player1_->SetNotify(false);
    player1_->SetFileName(NativePath(programFolder_ + reset->fileName).value_or(std::string()));
    // With wait on, play returns when the reset file has finished.
    if (!player1_->Open() || !player1_->Play()) {
        ShowError(player1_->ErrorText());
        return false;
    }
    player1_->Close();
    edStatus_->SetCaption(remembered);
    return true;
}

void TfmMid::StopPlayback() {
    switch (state_) {
    case PlayerState::Playing:
    case PlayerState::Paused:
        player1_->SetWait(true);
        player1_->SetNotify(false);
        player1_->Stop();
        state_ = PlayerState::Stopped;
        if (!reloadPending_) {
            UpdateStatusDisplay();
        } else {
            if (order_.NoList()) UpdateStatusDisplay();
            else ShowCurrentOrNext();
            reloadPending_ = false;
        }
        break;
    case PlayerState::Waiting:
    case PlayerState::Resting:
        timer1_->stop();  // the countdown only pauses: state and timer mode stay
        break;
    default:
        break;
    }
}

void TfmMid::ApplyTitle(const std::string& listPath, const std::string& title) {
    for (SongGroup& group : songs_.groups) {
        for (int i = 0; i < group.Count(); ++i) {
            if (group.Path(i) != listPath || group.Title(i) == title) continue;
            group.SetTitle(i, title);
            titlesChanged_ = true;
        }
    }
    if (editor_ && editor_->isVisible()) {
        std::string text = listPath + ";" + title;
        SendLinkMessage(editor_, LinkMessage::UM_SET_TITLE, 0, &text);
    }
}

void TfmMid::StartTestPlay(const std::string& path, char mapCode) {
    StopPlayback();
    testPlay_ = true;
    testPath_ = path;
    testMap_ = mapCode;
    ShowCurrentSong();
    PlaySong(testPath_, MapCodeValue(testMap_));
}

}  // namespace kyro
