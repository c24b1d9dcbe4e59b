// The lost-file check: every entry of every group whose file, archive or archive member is no
// longer where the list says is offered to the finder (or the folder selection dialog), then
// relocated, left, or deleted. The changes stay in the working copy until the user saves. A
// relocation teaches a folder move, which then relocates the other songs of the moved folder.
#include "editor/tfmmidiopen.h"

#include "dialogs/tfmfilesel.h"
#include "dialogs/tfmfinddlg.h"
#include "dialogs/tfmwait.h"
#include "editor/tfmgroup.h"
#include "library/settings.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"

#include <QApplication>
#include <QComboBox>
#include <QLocale>

namespace kyro {

namespace {

// One entry as the check looks at it.
struct ExaminedEntry {
    std::string path;      // the file that must exist: the song, or the archive holding it
    std::string member;    // the song inside the archive; "" for a loose song
    std::string fileName;  // the last component of `path`
    bool archived = false;

    explicit ExaminedEntry(const std::string& stored) {
        const auto arrow = stored.find("->");
        archived = arrow != std::string::npos;
        path = archived ? stored.substr(0, arrow) : stored;
        member = archived ? stored.substr(arrow + 2) : std::string();
        fileName = FileNamePart(path);
    }
    std::string Folder() const { return path.substr(0, path.size() - fileName.size()); }
    std::string RelocatedTo(const std::string& folder) const {
        return folder + fileName + (archived ? "->" + member : std::string());
    }
};

QString WithThousands(int n) { return QLocale(QLocale::English).toString(n); }  // "8,412"

QString CheckSummary(bool aborted, bool stillLost, bool deleted, const LearntMoves& moves) {
    QString text = aborted ? QStringLiteral("迷子ファイルの調査を中断しました。") : QStringLiteral("迷子ファイルの調査を終了しました。");
    if (stillLost) text += QStringLiteral("\nまだ迷子ファイルがあります。");
    if (deleted) text += QStringLiteral("\n削除したリストがあります。");
    for (const LearntMove& learnt : moves.All())
        if (learnt.relocated > 0)
            text += QStringLiteral("\n%1 → %2 : %3 曲")
                        .arg(Cp932ToQString(learnt.move.oldRoot), Cp932ToQString(learnt.move.newRoot), WithThousands(learnt.relocated));
    return text;
}

// Whether the song a stored path names is there: the file, and for an archive member the member
// too (when the archive library can tell).
bool SongPresent(const std::string& storedPath, const ArchiveLibrary* library) {
    const ExaminedEntry entry(storedPath);
    if (!FileReadable(entry.path)) return false;
    std::string member = entry.member;  // FindArchiveMember leaves its failure message here
    return !entry.archived || !library || FindArchiveMember(library, entry.path, member) == kArchiveOk;
}

// The lost songs from entry `from` of group `g` on that `move` would relocate, told by whether
// the file (or the archive) is there, and the warning bits under which the finder would ask
// before taking such finds.
struct MoveReach {
    int songs = 0;
    int warningBits = 0;
    void Add(const ExaminedEntry& moved, bool library) {
        ++songs;
        warningBits |= !moved.archived ? kWarnFileFound : library ? kWarnLzhFound : kWarnCantLzh;
    }
};
MoveReach ReachOf(const FolderMove& move, const SongList& work, int g, int from, bool library) {
    MoveReach reach;
    for (; g < kGroupCount; ++g, from = 0) {
        for (int i = from; i < work.groups[g].Count(); ++i) {
            const std::string& path = work.groups[g].Path(i);
            const auto moved = ApplyMove(move, path);
            if (!moved) continue;
            const ExaminedEntry entry(*moved);
            if (FileReadable(entry.path) && !FileReadable(ExaminedEntry(path).path)) reach.Add(entry, library);
        }
    }
    return reach;
}

// The first time a move would relocate songs, the user agrees to it once for all of them, unless
// the finder would take such finds without asking either. No keeps it unused for this check.
bool AgreeToMove(LearntMove& learnt, const MoveReach& reach, int warningMsg) {
    if (reach.songs == 0) return false;
    learnt.confirmed = !(warningMsg & reach.warningBits) ||
                       ShowMessage(QStringLiteral("同じ移動を残りの迷子ファイル %1 件にも適用しますか？").arg(WithThousands(reach.songs)),
                                   MessageIcon::Question, MessageButtons::YesNo) == ModalResult::Yes;
    learnt.declined = !learnt.confirmed;
    return learnt.confirmed;
}

}  // namespace

void TfmMidiOpen::CheckLostFiles(TfmGroup* groupDialog) {
    if (!player_) return;
    // Unsaved changes are saved first (or dropped); Cancel ends the check before it starts.
    cmbGroupName_->setCurrentIndex(group_);
    if (!SwitchGroup(true) || modified_) return;

    lostCheck_ = {};
    learntMoves_.BeginCheck();
    TfmWait* wait = companions_.wait;
    groupDialog->setEnabled(false);
    if (wait) {
        // The group dialog is modal: the wait dialog must belong to it to stay usable, and a
        // disabled owner disables it unless it is enabled again by name.
        wait->setParent(groupDialog, wait->windowFlags());
        wait->setEnabled(true);
        wait->SetWaitMode(TfmWait::kLostFileCheck);
        wait->ShowModeless();
    }
    bool changed = false;
    for (int g = 0; g < kGroupCount && !lostCheck_.aborted; ++g) {
        for (int i = 0; i < work_.groups[g].Count() && !lostCheck_.aborted;) {
            const ExaminedEntry entry(work_.groups[g].Path(i));
            if (wait) {
                wait->SetListName(entry.path);
                wait->SetGroupName(player_->Songs().groupNames[g]);
            }
            LostEntryOutcome outcome = LostEntryOutcome::Next;
            if (!FileReadable(entry.path)) outcome = AskAboutLostEntry(g, i, changed);
            else if (entry.archived) outcome = CheckArchivedEntry(g, i, changed);
            if (outcome == LostEntryOutcome::Stop) lostCheck_.aborted = true;
            if (lostCheck_.aborted || outcome == LostEntryOutcome::Again) continue;
            if (i % 10 == 0) {
                QApplication::processEvents();
                if (wait && wait->Cancelled()) lostCheck_.aborted = true;
            }
            ++i;
        }
    }
    if (wait) {
        wait->hide();
        wait->setParent(this, wait->windowFlags());
    }
    if (changed) SetModified();  // saved, or dropped after the question, like any other edit
    ShowMessage(CheckSummary(lostCheck_.aborted, lostCheck_.stillLost, lostCheck_.deleted, learntMoves_), MessageIcon::Information);

    LoadGroup();
    Notify(companions_.listMove, LinkMessage::UM_GROUP_COUNTS, 1);
    Notify(companions_.title, LinkMessage::UM_SYNC_GROUP);
    Notify(companions_.title, LinkMessage::UM_RELOAD_TITLES);
    UpdateEntryScrollWidth();
    groupDialog->Fill();
    groupDialog->setEnabled(true);
    groupDialog->raise();
}

// The archive is there; so must the song inside it be. Without the archive library the members
// cannot be looked at: the user is told once a run, and the entry counts as found.
TfmMidiOpen::LostEntryOutcome TfmMidiOpen::CheckArchivedEntry(int g, int i, bool& changed) {
    const ExaminedEntry entry(work_.groups[g].Path(i));
    if (!player_->Archive()) {
        if (!lostCheck_.libraryWarned && (player_->SettingsInForce().warningMsg & kWarnCantLzh))
            ShowMessage(QStringLiteral("UNLHA32.DLLがロードされていません。\nLZHﾌｧｲﾙの検索は行いますが、\nLZH内のﾌｧｲﾙは検索しません。"),
                        MessageIcon::Information);
        lostCheck_.libraryWarned = true;
        return LostEntryOutcome::Next;
    }
    std::string member = entry.member;
    const int found = FindArchiveMember(player_->Archive(), entry.path, member);
    if (found == kArchiveNoMember) return AskAboutLostEntry(g, i, changed);
    if (found != kArchiveOk) ShowMessage(Cp932ToQString(member), MessageIcon::Exclamation);  // the failure message
    return LostEntryOutcome::Next;
}

// A folder move learnt before relocates the entry without a walk; otherwise the finder, or the
// folder selection dialog, decides. Retry switches between the two for the same entry, and the
// choice stays for the entries (and the checks) after it.
TfmMidiOpen::LostEntryOutcome TfmMidiOpen::AskAboutLostEntry(int g, int i, bool& changed) {
    const SongEntry song = work_.groups[g].Entry(i);
    const ExaminedEntry entry(song.path);
    const ArchiveLibrary* library = player_->Archive();
    const int warningMsg = player_->SettingsInForce().warningMsg;
    const auto relocation =
        learntMoves_.Relocate(song.path, [library](const std::string& path) { return SongPresent(path, library); });
    if (relocation && !relocation->move->confirmed) {
        // A move learnt in an earlier check, not yet agreed to: this song and those after it.
        MoveReach reach = ReachOf(relocation->move->move, work_, g, i + 1, library != nullptr);
        reach.Add(ExaminedEntry(relocation->path), library != nullptr);
        AgreeToMove(*relocation->move, reach, warningMsg);
    }
    if (relocation && relocation->move->confirmed) {
        work_.groups[g].Replace(i, {relocation->path, song.title, song.map});
        ++relocation->move->relocated;
        changed = true;
        return LostEntryOutcome::Next;
    }
    ModalResult result = ModalResult::Cancel;
    std::string folder;
    if (folderSelectionMode_ && companions_.fileSel) {
        companions_.fileSel->SetLostFile(entry.fileName, entry.member, entry.archived);
        companions_.fileSel->SetArchiveLibrary(library);
        result = static_cast<ModalResult>(companions_.fileSel->exec());
        folder = companions_.fileSel->ResultFolder();
    } else if (!folderSelectionMode_ && companions_.finder) {
        companions_.finder->SetLostFile(entry.path, entry.fileName, entry.member, entry.archived);
        companions_.finder->SetArchiveLibrary(library);
        companions_.finder->SetWarningMsg(warningMsg);
        result = companions_.finder->Run();
        folder = companions_.finder->ResultFolder();
    }
    switch (result) {
    case ModalResult::Ok:
        work_.groups[g].Replace(i, {entry.RelocatedTo(folder), song.title, song.map});
        changed = true;
        if (const auto move = DeriveMove(entry.Folder(), folder, ActiveDriveMap())) {
            LearntMove& learnt = learntMoves_.Learn(*move);
            if (!learnt.confirmed && !learnt.declined)
                AgreeToMove(learnt, ReachOf(*move, work_, g, i + 1, library != nullptr), warningMsg);
        }
        return LostEntryOutcome::Next;
    case ModalResult::Cancel:
        lostCheck_.stillLost = true;
        return LostEntryOutcome::Next;
    case ModalResult::Abort:
        return LostEntryOutcome::Stop;
    case ModalResult::Retry:
        folderSelectionMode_ = !folderSelectionMode_;
        return LostEntryOutcome::Again;
    case ModalResult::No:
        break;
    default:
        return LostEntryOutcome::Next;
    }
    // Not found: the entry may go.
    ModalResult remove = ModalResult::Yes;
    if (warningMsg & kWarnFileNotFound)
        remove = ShowMessage(QStringLiteral("ファイルが見つかりませんでした。\n[") + Cp932ToQString(song.path) +
                                 QStringLiteral("]\n登録リストを削除しますか？"),
                             MessageIcon::Question, MessageButtons::YesNo);
    if (remove != ModalResult::Yes) {
        lostCheck_.stillLost = true;
        return LostEntryOutcome::Next;
    }
    work_.groups[g].Remove(i);
    lostCheck_.deleted = true;
    changed = true;
    return LostEntryOutcome::Again;  // the entry after it has taken its index
}

}  // namespace kyro
