// Saving the list editor's working copy, and the questions that lead to it: OK, Update, Cancel,
// the close query and the group switch.
#include "editor/tfmmidiopen.h"

#include "library/settings.h"
#include "platform/messagebox.h"

#include <QComboBox>

namespace kyro {

namespace {

const char kNotSavedQuestion[] = "リストがまだ保存されていません。\n保存しますか？";
const char kSaveForLostFilesQuestion[] = "迷子ファイルを検索する為、\nリストを保存します。\nよろしいですか？";

}  // namespace

// The edited group goes back into the working copy, which becomes the player's list and is
// written to both list files, then the settings keys of the play modes.
bool TfmMidiOpen::Save() {
    if (!player_ || player_->Busy()) return false;
    StoreEditedGroup();
    if (!player_->ReplaceSongList(work_)) return false;  // the message is shown; the flag stays
    WriteListSaveSettings(player_->ProgramFolder(), player_->SettingsInForce());
    if (modified_) player_->SetReloadPending();
    modified_ = false;
    return true;
}

void TfmMidiOpen::pbOKClick() {
    Save();
    close();  // a save that failed leaves the list modified: the close query asks again
    SendLinkMessage(player_, LinkMessage::UM_LIST_CHANGED);
}

void TfmMidiOpen::pbCancelClick() {
    if (player_ && player_->Busy()) return;
    close();
}

void TfmMidiOpen::pbUpdateClick() {
    Save();
    SendLinkMessage(player_, LinkMessage::UM_LIST_CHANGED);
}

// Yes saves and closes, No drops the changes, Cancel keeps the window. A save that fails keeps
// the window open too, so that the changes are never dropped without the user saying so.
bool TfmMidiOpen::CloseQuery() {
    if (!modified_) return true;
    ModalResult answer = ModalResult::Yes;
    if (player_->SettingsInForce().warningMsg & kWarnNotSaved)
        answer = ShowMessage(QString::fromUtf8(kNotSavedQuestion), MessageIcon::Question, MessageButtons::YesNoCancel);
    switch (answer) {
    case ModalResult::Yes:
        return Save();
    case ModalResult::No:
        modified_ = false;
        return true;
    default:
        return false;
    }
}

void TfmMidiOpen::cmbGroupNameChange() { SwitchGroup(); }

// After Cancel, or a save that failed, the selector goes back to the edited group and its
// changes stay in the list boxes.
bool TfmMidiOpen::SwitchGroup(bool forLostFileCheck) {
    if (modified_) {
        ModalResult answer = ModalResult::Yes;
        if (player_->SettingsInForce().warningMsg & kWarnNotSaved)
            answer = ShowMessage(QString::fromUtf8(forLostFileCheck ? kSaveForLostFilesQuestion : kNotSavedQuestion),
                                 MessageIcon::Question, MessageButtons::YesNoCancel);
        const bool goOn = answer == ModalResult::No || (answer == ModalResult::Yes && Save());
        if (!goOn) {
            cmbGroupName_->setCurrentIndex(group_);
            return false;
        }
        modified_ = false;
    }
    group_ = cmbGroupName_->currentIndex();
    LoadGroup();
    Notify(companions_.listMove, LinkMessage::UM_GROUP_COUNTS, 1);
    Notify(companions_.title, LinkMessage::UM_SYNC_GROUP);
    Notify(companions_.title, LinkMessage::UM_RELOAD_TITLES);
    UpdateMapDisplay();
    UpdateButtons();
    UpdateEntryScrollWidth();
    return true;
}

}  // namespace kyro
