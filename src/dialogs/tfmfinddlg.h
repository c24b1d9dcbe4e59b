#pragma once
// TfmFindDlg: the "File Sertch" dialog. Looks on every drive, folder by folder and depth first,
// for a lost song file (or the archive that held a lost song, and then the song inside it), asks
// whether the entry is to take the file found, and closes with the result of the search.

#include "platform/linkmessages.h"
#include "platform/modalresult.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace kyro {

class ArchiveLibrary;
class MPanel;
class ThrottledCaption;

class TfmFindDlg : public QDialog, public LinkTarget {
    Q_OBJECT
public:
    // Where the search stands; closing turns it into the result: accepted Ok, searching (nothing
    // accepted) No, "場所指定" Retry, End Abort, Cancel (and any other value) Cancel.
    enum SearchState { kSearching = 4, kAccepted = 5, kCancelled = 6, kChooseFolder = 7, kEnd = 9 };

    explicit TfmFindDlg(QWidget* owner = nullptr);

    // Set before each showing. `sourcePath` is the registered path (for an archived song the
    // archive's path), `fileName` its last component, `memberName` the song inside the archive.
    void SetLostFile(const std::string& sourcePath, const std::string& fileName, const std::string& memberName,
                     bool archived);
    void SetArchiveLibrary(const ArchiveLibrary* library) { library_ = library; }  // nullptr: not loaded
    void SetWarningMsg(int warningMsg) { warningMsg_ = warningMsg; }

    // Shows the dialog modally; the search starts once it is on the screen and the dialog closes
    // itself when the search ends. OK: ResultFolder() holds the file ("D:\SONGS\"); No: not found
    // (or the user stopped after an archive without the song); Retry: choose the folder by hand;
    // Abort: end the whole check; Cancel: skip this entry.
    ModalResult Run();
    std::string ResultFolder() const { return resultFolder_; }  // kept from search to search

    // Handlers.
    void FormShow();
    void pbCancelClick();
    void pbSelfClick();
    void pbEndClick();

    // UM_START_SEARCH, posted to itself by FormShow: runs the drive search.
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

    int State() const { return state_; }

    // Every way of closing ends here, so the result always follows the state. The close box
    // (or Escape) during the search stops it as Cancel does.
    void done(int r) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SearchDrives();
    bool ConsiderFind(const std::string& folder);
    bool Offer(const std::string& folder, const QString& question, int warningBit);

    const ArchiveLibrary* library_ = nullptr;
    int warningMsg_ = 0;
    std::string resultFolder_;

    std::string sourcePath_;
    std::string fileName_;
    std::string memberName_;
    bool archived_ = false;

    int state_ = kSearching;
    bool searching_ = false;  // from the showing until the search has ended
    ModalResult result_ = ModalResult::None;

    QFrame* bevel1_ = nullptr;
    QFrame* bevel2_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label1_ = nullptr;
    MPanel* lblSrc_ = nullptr;
    MPanel* lblFile_ = nullptr;
    MPanel* lblFolder_ = nullptr;
    QPushButton* pbSelf_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
    QPushButton* pbEnd_ = nullptr;

    ThrottledCaption* folderCaption_ = nullptr;  // lblFolder during the walk
};

}  // namespace kyro
