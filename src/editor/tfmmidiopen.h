#pragma once
// TfmMidiOpen: the "File List" window, where the user builds the song list. While shown it edits
// a working copy of the player's list, one group at a time: the left half lists the songs of a
// folder (loose files and the members of its archives), the right half the entries of the edited
// group, which the user adds, removes, reorders, maps, test-plays and saves.

#include "editor/editorentries.h"
#include "editor/learntmoves.h"
#include "library/playerlink.h"
#include "library/songlist.h"
#include "platform/linkmessages.h"

#include <QWidget>

#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kyro {

class DriveComboBox;
class FolderTree;
class MListBox;
class MPanel;
class TfmWait;
class TfmDocList;
class TfmGroup;
class TfmFindDlg;
class TfmFileSel;

// The windows the editor shows and keeps in step. Any of them may be missing (tests).
struct EditorCompanions {
    QWidget* title = nullptr;     // the title list window
    QWidget* fileMove = nullptr;  // the file move window
    QWidget* listMove = nullptr;  // the list move window
    QWidget* group = nullptr;     // the group set-up dialog (a QDialog)
    TfmWait* wait = nullptr;
    TfmDocList* docList = nullptr;
    QWidget* docRead = nullptr;  // the document reader
    TfmFindDlg* finder = nullptr;  // the lost-file check asks through one of these two
    TfmFileSel* fileSel = nullptr;
};

class TfmMidiOpen : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmMidiOpen(QWidget* owner = nullptr);
    ~TfmMidiOpen() override;

    void SetPlayer(PlayerLink* player) { player_ = player; }
    void SetCompanions(const EditorCompanions& companions) { companions_ = companions; }

    // The close query: false keeps the window (and, asked by the main window, the program) open.
    virtual bool CloseQuery();

    // The state other windows and tests read.
    bool Modified() const { return modified_; }
    int EditedGroup() const { return group_; }
    const SongList& WorkingCopy() const { return work_; }
    const std::vector<EditorEntry>& Entries() const { return entries_; }
    std::vector<bool> Selection() const;
    const std::vector<std::string>& DocumentList() const { return documents_; }
    int ChosenDocument() const { return chosenDocument_; }
    void SetChosenDocument(int index) { chosenDocument_ = index; }

    // The source side shows this folder (DOS form) when the editor is first shown, instead of
    // the folder the program was started in: a new user's songs are in their music folder.
    void StartSourceAt(const std::string& dosFolder) { sourceStart_ = dosFolder; }
    // The drive map changed (system dialog): the drive box lists the new letters at once.
    void RefillDriveBox();

    // Handlers.
    void FormShow();
    void pbOKClick();
    void pbCancelClick();
    void pbUpdateClick();
    void cmbSourceDrvChange();
    void lvSourceDirChange();
    void cmbFilterChange();
    void pbAddListClick();
    void pbDelListClick();
    void pbUpClick();
    void pbDownClick();
    void gbRbMapClick(int item);
    void cbDtlClick();
    void lbEntryFileClick();
    void cmbGroupNameChange();
    void pbSelGroupClick();
    void pbTitleClick();
    void pbFileMoveClick();
    void pbListMoveClick();
    void pbTestClick();
    void pbDocClick();
    void pbSearchClick();
    void pbWCheckClick();
    // Drag and drop: the source list has tag 1, the entry list tag 2. A drag over a list is
    // accepted when it comes from the other one; a drop adds or deletes.
    bool lbEntryFileDragOver(QObject* source) const;
    void lbEntryFileDragDrop(QObject* source);
    bool lbSourceFileDragOver(QObject* source) const;
    void lbSourceFileDragDrop(QObject* source);
    // Ctrl+A in either list selects every item.
    void SelectAll(QListWidget* list);

    // The title list window's Get Title writes a title it read into entry `index` (CP932). It is
    // the user's work like any other edit: the modified flag goes up, so closing asks first.
    void SetEntryTitle(int index, const std::string& title);

    // The save of the working copy; false when it failed or the busy flag was set.
    bool Save();
    // The group switch to the group chosen in cmbGroupName; the lost-file check asks with its own
    // question. False when the user cancelled it.
    bool SwitchGroup(bool forLostFileCheck = false);
    // Lists the source folder again (also the request UM_RELOAD_SOURCE).
    void ListSource();
    // The lost-file check over every entry of every group, started by the group set-up dialog,
    // which is disabled meanwhile and refilled at the end (through its Fill()).
    void CheckLostFiles(TfmGroup* groupDialog);

    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void ConnectHandlers();

    // The edited group in the list boxes.
    void LoadGroup();                 // from the working copy
    void LoadGroupNames();            // the selector, the edited group, the companions told
    void ShowEntries(const std::vector<bool>& selected, int current);  // the list boxes from entries_
    void FillHiddenLists();  // lbEntryDir, lbEntryTitle and lbEntryMap from entries_, after every change
    void SetSelection(const std::vector<bool>& selected, int current);
    void ShowCount();
    void UpdateMapDisplay();
    void UpdateButtons();
    void UpdateEntryScrollWidth();
    void UpdateSourceScrollWidth();
    void AfterSelectionChange();      // map display, title window, buttons
    void SetModified() { modified_ = true; }
    void StoreEditedGroup();          // the list boxes back into the working copy
    void MoveRun(int step);           // the selected run one place up (-1) or down (+1)

    // Requests.
    std::intptr_t CopyTitles(const LParam& lParam);
    std::intptr_t SyncSelection(std::intptr_t direction, const LParam& lParam);
    std::intptr_t DocumentPath(const LParam& lParam);
    std::intptr_t SetTitle(const LParam& lParam);
    std::intptr_t CopyGroupNames(const LParam& lParam);
    std::intptr_t SyncGroup(std::intptr_t direction, const LParam& lParam);
    std::intptr_t EntryPath(std::intptr_t index, const LParam& lParam);
    void MoveToGroup(int target);

    // The lost-file check, one entry at a time: the next entry, the same index again (after a
    // switch of dialog, or a deletion), or the end of the check.
    enum class LostEntryOutcome { Next, Again, Stop };
    LostEntryOutcome CheckArchivedEntry(int group, int index, bool& changed);
    LostEntryOutcome AskAboutLostEntry(int group, int index, bool& changed);
    // Notifications: sent only while the receiver is visible.
    void Notify(QWidget* receiver, LinkMessage msg, std::intptr_t wParam = 0, LParam lParam = {});
    void ShowCompanion(QWidget* window);  // UM_LOAD_FRONT, then shown

    // The editor is disabled while its long loops run, under the wait dialog in `waitMode`; every
    // so many items KeepGoing lets events run and answers false once Cancel was pressed.
    TfmWait* BeginLongWork(int waitMode);
    void EndLongWork();
    bool KeepGoing() const;

    std::string SourceFolder() const;  // the folder tree's folder, ending in "\"
    bool ExactlyOneSelected();         // else the message
    void SetFilterItems();

    PlayerLink* player_ = nullptr;
    EditorCompanions companions_;

    SongList work_;                     // the working copy of the nine groups
    int group_ = 0;                     // the edited group
    std::vector<EditorEntry> entries_;  // the edited group as the list boxes hold it
    bool modified_ = false;
    bool detailView_ = false;
    bool documentReaderOpen_ = false;  // the reader keeps the Document button off until it closes
    char rememberedDrive_ = 'z';  // the current drive when the editor was last shown
    std::vector<std::string> documents_;
    int chosenDocument_ = -1;
    bool selectionSignalsMuted_ = false;  // the editor itself is changing the selection
    bool rcpKinds_ = false;               // the kind selector offers RCP files
    struct LostFileCheck {
        bool aborted = false;
        bool stillLost = false;      // an entry was left as it was
        bool deleted = false;
        bool libraryWarned = false;  // the note about the missing archive library was shown
    } lostCheck_;
    bool folderSelectionMode_ = false;  // ask through the folder selection dialog, kept between checks
    LearntMoves learntMoves_;           // the folders the checks saw moved, kept between checks

    // Controls.
    DriveComboBox* cmbSourceDrv_ = nullptr;
    FolderTree* lvSourceDir_ = nullptr;
    std::string sourceStart_;  // where the source side starts; empty: the working folder
    MListBox* lbSourceFile_ = nullptr;
    QComboBox* cmbFilter_ = nullptr;
    QPushButton* pbFileMove_ = nullptr;
    QPushButton* pbAddList_ = nullptr;
    QPushButton* pbDelList_ = nullptr;
    QPushButton* pbSelGroup_ = nullptr;
    QComboBox* cmbGroupName_ = nullptr;
    QCheckBox* cbDtl_ = nullptr;
    QCheckBox* cbULCheck_ = nullptr;
    QLineEdit* edSearch_ = nullptr;
    QPushButton* pbSearch_ = nullptr;
    MListBox* lbEntryFile_ = nullptr;
    QListWidget* lbEntryDir_ = nullptr;    // hidden: the folder of each entry
    QListWidget* lbEntryTitle_ = nullptr;  // hidden: the title of each entry
    QListWidget* lbEntryMap_ = nullptr;    // hidden: the map code of each entry
    QGroupBox* gbRbMap_ = nullptr;
    QButtonGroup* mapButtons_ = nullptr;
    QPushButton* pbListMove_ = nullptr;
    MPanel* edFileCount_ = nullptr;
    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
    QPushButton* pbUpdate_ = nullptr;
    QPushButton* pbWCheck_ = nullptr;
    QPushButton* pbUp_ = nullptr;
    QPushButton* pbDown_ = nullptr;
    QPushButton* pbTest_ = nullptr;
    QPushButton* pbTitle_ = nullptr;
    QPushButton* pbDoc_ = nullptr;
};

}  // namespace kyro
