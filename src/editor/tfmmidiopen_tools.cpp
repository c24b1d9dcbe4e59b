// What the list editor does with the edited group besides changing it: search, the duplicate
// check, the test play, the documents of an archived song, and the companion windows it opens.
#include "editor/tfmmidiopen.h"

#include "dialogs/tfmdoclist.h"
#include "dialogs/tfmwait.h"
#include "editor/entrymatch.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/filekinds.h"
#include "widgets/mlistbox.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

namespace kyro {

namespace {

void Inform(const QString& text) { ShowMessage(text, MessageIcon::Information); }

const char kNotFound[] = "指定された文字は見つかりませんでした。";

QString DuplicateMessage(bool aborted, bool found) {
    QString text = aborted ? QStringLiteral("中断しました。\n") : QString();
    return text + (found ? QStringLiteral("重複リストがあります。\n重複したリストは選択されます。")
                         : QStringLiteral("重複リストはありません。"));
}

}  // namespace

bool TfmMidiOpen::ExactlyOneSelected() {
    if (SelectedIndexes(Selection()).size() == 1) return true;
    ShowMessage(QStringLiteral("ファイルを１つだけ選択して下さい。"), MessageIcon::Exclamation);
    return false;
}

// One pass over the texts shown, without letting events run; the matches become the selection.
void TfmMidiOpen::pbSearchClick() {
    if (!player_ || player_->Busy() || edSearch_->text().isEmpty()) return;
    if (entries_.empty()) return Inform(QString::fromUtf8(kNotFound));
    PlayerBusyScope busy(*player_);
    std::vector<std::string> texts;
    for (const EditorEntry& e : entries_) texts.push_back(e.DisplayText(detailView_));
    // Text that CP932 cannot hold occurs in no entry.
    const auto needle = QStringToCp932(edSearch_->text());
    const std::vector<bool> found =
        needle ? SearchEntries(texts, *needle, cbULCheck_->isChecked()) : std::vector<bool>(texts.size(), false);
    SetSelection(found, lbEntryFile_->currentRow());
    UpdateMapDisplay();
    const auto count = std::count(found.begin(), found.end(), true);
    if (count > 0)
        Inform(QStringLiteral("%1 個のリストが見つかりました。\n見つかったリストは選択されます。").arg(count, 3));
    else
        Inform(QString::fromUtf8(kNotFound));
    Notify(companions_.title, LinkMessage::UM_SYNC_SELECTION);
    UpdateButtons();
}

// Every later occurrence of a text is marked; the first stays unmarked. The wait dialog's Cancel
// is seen every tenth base, and the marks made until then stay.
void TfmMidiOpen::pbWCheckClick() {
    if (!player_ || player_->Busy()) return;
    PlayerBusyScope busy(*player_);
    BeginLongWork(TfmWait::kDuplicateCheck);
    SetSelection(std::vector<bool>(entries_.size(), false), lbEntryFile_->currentRow());
    std::vector<std::string> texts;
    for (const EditorEntry& e : entries_) texts.push_back(e.DisplayText(detailView_));
    const DuplicateResult result = MarkDuplicates(texts, [this](int) { return KeepGoing(); });
    EndLongWork();
    SetSelection(result.marked, lbEntryFile_->currentRow());
    UpdateMapDisplay();
    const bool found = std::find(result.marked.begin(), result.marked.end(), true) != result.marked.end();
    Inform(DuplicateMessage(result.aborted, found));
    Notify(companions_.title, LinkMessage::UM_SYNC_SELECTION);
    UpdateButtons();
}

void TfmMidiOpen::pbTestClick() {
    if (!ExactlyOneSelected()) return;
    const EditorEntry& entry = entries_[SelectedIndexes(Selection()).front()];
    const std::string path = entry.FullPath();
    if (!IsPlayable(path, player_->Archive() != nullptr, player_->RcpPlayable())) {
        ShowMessage(QStringLiteral("この形式のファイルは現在演奏できません。"), MessageIcon::Exclamation);
        return;
    }
    player_->StartTestPlay(path, entry.map);
}

// The documents packed in the archive of the selected song: one is read at once, several (or
// none) are offered in the document list.
void TfmMidiOpen::pbDocClick() {
    if (!ExactlyOneSelected()) return;
    const std::string path = entries_[SelectedIndexes(Selection()).front()].FullPath();
    const std::string archive = path.substr(0, path.find("->"));
    documents_.clear();
    chosenDocument_ = -1;
    if (!player_->Archive()) return;
    std::vector<std::string> listed;
    const int result = ListArchiveMembers(player_->Archive(), archive, listed, ListingMode(kPurposeDocuments));
    if (result != kArchiveOk) {
        // The message is the last string; a damaged archive's documents before it are still offered.
        const std::string message = listed.empty() ? std::string() : listed.back();
        if (!listed.empty()) listed.pop_back();
        raise();
        activateWindow();
        ShowMessage(Cp932ToQString(message), MessageIcon::Exclamation);
    }
    if (result == kArchiveOk || result == kArchiveDamaged) documents_ = listed;
    if (documents_.size() == 1) chosenDocument_ = 0;
    else if (companions_.docList) chosenDocument_ = companions_.docList->Choose(documents_);
    if (chosenDocument_ >= 0 && companions_.docRead) companions_.docRead->show();
}

void TfmMidiOpen::pbTitleClick() { ShowCompanion(companions_.title); }

void TfmMidiOpen::pbFileMoveClick() { ShowCompanion(companions_.fileMove); }

void TfmMidiOpen::pbListMoveClick() { ShowCompanion(companions_.listMove); }

// The group names may have changed; the edited group's unsaved changes stay.
void TfmMidiOpen::pbSelGroupClick() {
    auto* dialog = qobject_cast<QDialog*>(companions_.group);
    if (dialog && dialog->exec() == QDialog::Accepted) LoadGroupNames();
}

}  // namespace kyro
