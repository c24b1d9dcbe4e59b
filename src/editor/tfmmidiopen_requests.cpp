// The requests the list editor serves for its companion windows and the player. Each checks the
// object it was handed before using it and names an unusable one in a message.
#include "editor/tfmmidiopen.h"

#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "widgets/mlistbox.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

namespace kyro {

namespace {

std::intptr_t Refuse(const char* text) {
    ShowMessage(QString::fromUtf8(text), MessageIcon::Stop);
    return 0;
}

}  // namespace

std::intptr_t TfmMidiOpen::HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) {
    switch (msg) {
    case LinkMessage::UM_COPY_TITLES: return CopyTitles(lParam);
    case LinkMessage::UM_SYNC_SELECTION: return SyncSelection(wParam, lParam);
    case LinkMessage::UM_GET_DOC_PATH: return DocumentPath(lParam);
    case LinkMessage::UM_DOC_ENABLE:
        documentReaderOpen_ = false;
        pbDoc_->setEnabled(true);
        return 0;
    case LinkMessage::UM_DOC_DISABLE:
        documentReaderOpen_ = true;
        pbDoc_->setEnabled(false);
        return 0;
    case LinkMessage::UM_SET_TITLE: return SetTitle(lParam);
    case LinkMessage::UM_COPY_GROUP_NAMES: return CopyGroupNames(lParam);
    case LinkMessage::UM_SYNC_GROUP: return SyncGroup(wParam, lParam);
    case LinkMessage::UM_GET_ENTRY_PATH: return EntryPath(wParam, lParam);
    case LinkMessage::UM_MOVE_TO_GROUP: MoveToGroup(static_cast<int>(wParam)); return 0;
    case LinkMessage::UM_RELOAD_SOURCE: ListSource(); return 0;
    case LinkMessage::UM_EDITOR_ENABLE: setEnabled(wParam != 1); return 0;
    default: return 0;
    }
}

std::intptr_t TfmMidiOpen::CopyTitles(const LParam& lParam) {
    QListWidget* target = LParamListBox(lParam);
    if (!target) return Refuse("タイトル出力先のリストボックスが見つかりません。");
    for (const EditorEntry& e : entries_) target->addItem(Cp932ToQString(e.title));
    return 0;
}

// WParam 1: the other list box takes the editor's selection; 2: the editor takes the other's, as
// far as both have items.
std::intptr_t TfmMidiOpen::SyncSelection(std::intptr_t direction, const LParam& lParam) {
    QListWidget* other = LParamListBox(lParam);
    if (direction == 1) {
        if (!other) return Refuse("リンク先のリストボックスが見つかりません。");
        const std::vector<bool> selected = Selection();
        for (int i = 0; i < static_cast<int>(selected.size()) && i < other->count(); ++i)
            other->item(i)->setSelected(selected[i]);
        UpdateButtons();
    } else if (direction == 2) {
        if (!other) return Refuse("リンク元のリストボックスが見つかりません。");
        std::vector<bool> selected = Selection();
        for (int i = 0; i < static_cast<int>(selected.size()) && i < other->count(); ++i)
            selected[i] = other->item(i)->isSelected();
        SetSelection(selected, lbEntryFile_->currentRow());
        UpdateMapDisplay();
        UpdateButtons();
    }
    return 0;
}

// While a long operation runs the answer waits: the reader asks again when it is shown.
std::intptr_t TfmMidiOpen::DocumentPath(const LParam& lParam) {
    if (player_ && player_->Busy()) return 0;
    std::string* path = LParamText(lParam);
    const int focused = lbEntryFile_->currentRow();
    if (!path || focused < 0 || focused >= static_cast<int>(entries_.size()) || chosenDocument_ < 0 ||
        chosenDocument_ >= static_cast<int>(documents_.size()))
        return Refuse("対象ファイルが不正です。");
    const std::string full = entries_[focused].FullPath();
    const auto arrow = full.find("->");
    if (arrow == std::string::npos) return Refuse("対象ファイルが不正です。");
    *path = full.substr(0, arrow + 2) + documents_[chosenDocument_];
    return 1;
}

// "path;title": every entry of the edited group with that path gets the title. The modified flag
// stays: titles read while playing are the player's to save.
std::intptr_t TfmMidiOpen::SetTitle(const LParam& lParam) {
    std::string* text = LParamText(lParam);
    if (!text) return Refuse("タイトル送信先が不正です。");
    const auto semicolon = text->find(';');
    if (semicolon == std::string::npos) return 0;
    const std::string path = text->substr(0, semicolon);
    const std::string title = text->substr(semicolon + 1);
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        if (entries_[i].FullPath() != path) continue;
        entries_[i].title = title;
    }
    FillHiddenLists();
    Notify(companions_.title, LinkMessage::UM_RELOAD_TITLES);
    return 0;
}

void TfmMidiOpen::SetEntryTitle(int index, const std::string& title) {
    if (index < 0 || index >= static_cast<int>(entries_.size()) || entries_[index].title == title) return;
    entries_[index].title = title;
    FillHiddenLists();
    SetModified();
}

std::intptr_t TfmMidiOpen::CopyGroupNames(const LParam& lParam) {
    QComboBox* target = LParamComboBox(lParam);
    if (!target) return Refuse("グループ名送信先が不正です。");
    target->clear();
    for (int i = 0; i < cmbGroupName_->count(); ++i) target->addItem(cmbGroupName_->itemText(i));
    target->setCurrentIndex(group_);
    return 0;
}

// WParam 1: the other selector shows the edited group; 2: the editor switches to the other's.
std::intptr_t TfmMidiOpen::SyncGroup(std::intptr_t direction, const LParam& lParam) {
    QComboBox* other = LParamComboBox(lParam);
    if (direction != 1 && direction != 2) return 0;
    if (!other) return Refuse(direction == 1 ? "リンク先のリストボックスが見つかりません。" : "リンク元のリストボックスが見つかりません。");
    if (other->count() != cmbGroupName_->count()) return Refuse("リンク先のリストボックス項目数が一致しません。");
    if (direction == 1) {
        other->setCurrentIndex(group_);
    } else {
        cmbGroupName_->setCurrentIndex(other->currentIndex());
        SwitchGroup();
    }
    return 0;
}

std::intptr_t TfmMidiOpen::EntryPath(std::intptr_t index, const LParam& lParam) {
    std::string* path = LParamText(lParam);
    if (!path) return Refuse("ファイル名転送先の変数が不正です。");
    if (index < 0 || index >= static_cast<std::intptr_t>(entries_.size())) return Refuse("リストボックス番号が不正です。");
    *path = entries_[index].FullPath();
    return 1;
}

}  // namespace kyro
