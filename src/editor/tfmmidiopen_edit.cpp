// The list editor's changes to the edited group: add, delete, move up and down, map assignment,
// and the move of entries to another group that the list move window asks for.
#include "editor/tfmmidiopen.h"

#include "platform/messagebox.h"
#include "widgets/mlistbox.h"

#include <QButtonGroup>
#include <QListWidget>

#include <algorithm>

namespace kyro {

namespace {

void Warn(const char* text) { ShowMessage(QString::fromUtf8(text), MessageIcon::Exclamation); }

const char kNotContiguous[] = "連続した範囲を選択して下さい。";

}  // namespace

void TfmMidiOpen::pbAddListClick() {
    std::vector<std::string> items;
    for (int i = 0; i < lbSourceFile_->count(); ++i)
        if (lbSourceFile_->item(i)->isSelected())
            items.push_back(lbSourceFile_->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    if (items.empty()) return;
    if (entries_.size() + items.size() >= 1000) {
        Warn("リストが999を超えようとしています。");
        return;
    }
    const std::string folder = SourceFolder();
    std::vector<bool> selected(entries_.size(), false);
    for (const std::string& item : items) {
        entries_.push_back({folder, item, kUntitledMarker, '0'});
        selected.push_back(true);
        std::string title = kUntitledMarker;
        Notify(companions_.title, LinkMessage::UM_TITLE_ADD, 0, &title);
    }
    ShowEntries(selected, static_cast<int>(entries_.size()) - 1);
    UpdateMapDisplay();
    Notify(companions_.title, LinkMessage::UM_SYNC_SELECTION);
    Notify(companions_.listMove, LinkMessage::UM_GROUP_COUNTS, 0);
    UpdateButtons();
    SetModified();
}

void TfmMidiOpen::pbDelListClick() {
    const std::vector<int> doomed = SelectedIndexes(Selection());
    if (doomed.empty()) return;
    const int focused = lbEntryFile_->currentRow();
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        entries_.erase(entries_.begin() + *it);
        Notify(companions_.title, LinkMessage::UM_TITLE_DELETE, *it);
    }
    // The entry now at the focused place, else the last one, is focused and selected.
    const int count = static_cast<int>(entries_.size());
    const int next = focused >= 0 && focused < count ? focused : count - 1;
    std::vector<bool> selected(entries_.size(), false);
    if (next >= 0) selected[next] = true;
    ShowEntries(selected, next);
    UpdateMapDisplay();
    Notify(companions_.listMove, LinkMessage::UM_GROUP_COUNTS, 0);
    Notify(companions_.title, LinkMessage::UM_SYNC_SELECTION);
    UpdateButtons();
    SetModified();
}

void TfmMidiOpen::pbUpClick() { MoveRun(-1); }

void TfmMidiOpen::pbDownClick() { MoveRun(+1); }

// The selected run moves one place up (-1) or down (+1) and stays selected; the entry it passes
// goes to its other end.
void TfmMidiOpen::MoveRun(int step) {
    std::vector<bool> selected = Selection();
    const auto run = ContiguousRun(selected);
    if (!run) return Warn(kNotContiguous);
    const auto [first, last] = *run;
    if (step < 0 ? first == 0 : last == static_cast<int>(entries_.size()) - 1) return;
    // Rotating [begin, end) so that `middle` comes first.
    const int begin = step < 0 ? first - 1 : first;
    const int middle = step < 0 ? first : last + 1;
    const int end = last + (step < 0 ? 1 : 2);
    std::rotate(entries_.begin() + begin, entries_.begin() + middle, entries_.begin() + end);
    std::rotate(selected.begin() + begin, selected.begin() + middle, selected.begin() + end);
    ShowEntries(selected, lbEntryFile_->currentRow() + step);
    Notify(companions_.title, step < 0 ? LinkMessage::UM_TITLE_MOVE_UP : LinkMessage::UM_TITLE_MOVE_DOWN, 0,
           static_cast<std::intptr_t>(first) * 65536 + last);
    UpdateButtons();
    SetModified();
}

void TfmMidiOpen::gbRbMapClick(int item) {
    const std::vector<int> selected = SelectedIndexes(Selection());
    if (selected.empty() || item < 0 || item > 4) return;
    const char code = static_cast<char>('0' + item);
    bool changed = false;
    for (int i : selected) {
        changed = changed || entries_[i].map != code;
        entries_[i].map = code;
    }
    if (!changed) return;
    FillHiddenLists();
    SetModified();
}

// Taken from the last selected entry to the first, so they arrive at the end of the target group
// in reverse order. The sender keeps the target other than the edited group and below 1000
// entries; an entry that finds the target full all the same stays where it is.
void TfmMidiOpen::MoveToGroup(int target) {
    const std::vector<int> moving = SelectedIndexes(Selection());
    if (moving.empty() || target < 0 || target >= kGroupCount || target == group_) return;
    for (auto it = moving.rbegin(); it != moving.rend(); ++it) {
        const EditorEntry& e = entries_[*it];
        if (!work_.groups[target].Append({e.FullPath(), e.title, e.map})) continue;
        entries_.erase(entries_.begin() + *it);
        Notify(companions_.title, LinkMessage::UM_TITLE_DELETE, *it);
    }
    ShowEntries(std::vector<bool>(entries_.size(), false), -1);
    UpdateMapDisplay();
    UpdateButtons();
    SetModified();
}

}  // namespace kyro
