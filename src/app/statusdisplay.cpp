// The main window's status display: the current song in the panels, the mode names, the status
// text and which transport buttons can be pressed in each player state.
#include "app/tfmmid.h"

#include "platform/cp932.h"
#include "songfiles/filekinds.h"
#include "widgets/mpanel.h"

#include <QLineEdit>
#include <QPushButton>

#include <string_view>

namespace kyro {

namespace {

QString GroupModeName(int mode) {
    switch (mode) {
    case kGroupSemiRandom: return QStringLiteral("SEMI RANDOM");
    case kGroupSequential: return QStringLiteral("SEQUENTIAL");
    case kGroupAll: return QString();
    default: return QStringLiteral("RANDOM");
    }
}

QString ListModeName(int mode) {
    switch (mode) {
    case kListSemiRandom: return QStringLiteral("SEMI RANDOM");
    case kListSemiRandomAll: return QStringLiteral("SEMI RANDOM ALL");
    case kListSequential: return QStringLiteral("SEQUENTIAL");
    default: return QStringLiteral("RANDOM");
    }
}

QString Digits(int value, int width) { return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0')); }

}  // namespace

QString TfmMid::MapLabel(int code) {
    switch (code) {
    case 1: return QStringLiteral("88");
    case 2: return QStringLiteral("55");
    case 3: return QStringLiteral("GM");
    case 4: return QStringLiteral("8P");
    default: return QStringLiteral("無");
    }
}

bool TfmMid::ShowCurrentSong() {
    if (testPlay_) {
        const std::string name = FileNamePart(testPath_);
        if (!IsPlayable(name, ArchiveAvailable(), rcpPlayable_)) return false;
        edFile_->SetCaption2(Cp932ToQString(name));
        edMap_->SetCaption(MapLabel(testMap_ - '0'));
        edNum_->SetCaption(QStringLiteral("TST"));
        edGroup_->SetCaption2(QStringLiteral(" Test Play Mode"));
        edAllList_->SetCaption(QStringLiteral("TEST/TEST"));
        ShowTitle(QStringLiteral("－タイトル未取得－"));
    } else {
        const int g = order_.CurGroup();
        const int i = order_.CurIndex();
        // A position beyond its group (an empty Group1 at start-up, a shortened list) is not playable.
        if (g < 0 || g >= kGroupCount || i < 0 || i >= songs_.groups[g].Count()) return false;
        const std::string name = FileNamePart(songs_.groups[g].Path(i));
        if (!IsPlayable(name, ArchiveAvailable(), rcpPlayable_)) return false;
        edFile_->SetCaption2(Cp932ToQString(name));
        edMap_->SetCaption(MapLabel(songs_.groups[g].Map(i) - '0'));
        edNum_->SetCaption(Digits(i + 1, 3));
        edGroup_->SetCaption2(Cp932ToQString(songs_.groupNames[g]));
        edAllList_->SetCaption(Digits(order_.QueuePos() + 1, 4) + QLatin1Char('/') +
                               Digits(static_cast<int>(order_.Queue().size()), 4));
        ShowTitle(Cp932ToQString(songs_.groups[g].Title(i)));
    }
    UpdateStatusDisplay();
    return true;
}

void TfmMid::ShowTitle(const QString& title) {
    edTitle_->setText(title);
    // A title wider than the box shows its start: setText leaves the view at the end, which for a
    // title padded with spaces (as RCP headers pad them) is blank.
    edTitle_->setCursorPosition(0);
}

void TfmMid::ShowModeNames() {
    if (testPlay_) {
        edGrpMode_->SetCaption(QStringLiteral("TEST PLAY"));
        edLstMode_->SetCaption(QStringLiteral("TEST PLAY"));
        return;
    }
    edGrpMode_->SetCaption(GroupModeName(settings_.groupRandomType));
    edLstMode_->SetCaption(ListModeName(settings_.listRandomType));
}

void TfmMid::ClearSongPanels() {
    edAllList_->SetCaption(QStringLiteral("0000/0000"));
    edGroup_->SetCaption2(QString());
    edNum_->SetCaption(QString());
    edFile_->SetCaption2(QString());
    edTitle_->clear();
}

void TfmMid::UpdateStatusDisplay() {
    ShowModeNames();

    struct Buttons {
        bool rew, play, ff, stop;
    };
    Buttons on{};
    switch (state_) {
    case PlayerState::Stopped:
        if (order_.NoList() && !testPlay_) {  // a test play shows its song even without a list
            on = {false, false, false, false};
            edStatus_->SetCaption(QStringLiteral("NOLIST"));
            ClearSongPanels();
        } else {
            on = {true, true, true, false};
            edStatus_->SetCaption(QStringLiteral("STOP"));
        }
        break;
    case PlayerState::Playing:
        // A test play cannot be skipped: it is one song, outside the queue.
        on = {!testPlay_, true, !testPlay_, true};
        edStatus_->SetCaption(QStringLiteral("PLAYING"));
        break;
    case PlayerState::Paused:
        on = {true, true, true, true};
        edStatus_->SetCaption(QStringLiteral("PAUSE..."));
        break;
    case PlayerState::Waiting:
        on = {false, false, false, true};
        edStatus_->SetCaption(QStringLiteral("Wait %1s").arg(countdown_));
        break;
    case PlayerState::Resting:
        on = {false, false, false, true};  // the status is the countdown's own "Rest %ds"
        break;
    case PlayerState::Error:
        on = {true, false, true, true};
        edStatus_->SetCaption(QStringLiteral("ERROR"));
        break;
    }
    pbREW_->setEnabled(on.rew);
    pbPLAY_->setEnabled(on.play);
    pbFF_->setEnabled(on.ff);
    pbSTOP_->setEnabled(on.stop);
    UpdateTrayTip();
    emit StatusDisplayUpdated();
}

QString TfmMid::ShownTitle() const { return edTitle_->text(); }

TfmMid::TransportButtons TfmMid::EnabledButtons() const {
    return {pbREW_->isEnabled(), pbPLAY_->isEnabled(), pbFF_->isEnabled(), pbSTOP_->isEnabled()};
}

}  // namespace kyro
