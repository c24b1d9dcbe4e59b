#pragma once
// TfmFileSel: the "File Select" dialog of the lost-file check. It names a song file (or the archive
// and member) that is not where the list says, and lets the user pick the folder that holds it
// now; OK is possible only where the file (and, in an archive, the member) really is.

#include "platform/modalresult.h"

#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;

namespace kyro {

class ArchiveLibrary;
class DriveComboBox;
class FolderTree;

class TfmFileSel : public QDialog {
    Q_OBJECT
public:
    // What the user chose; closing turns it into the result: chosen Ok, not chosen No, automatic
    // search Retry, end Abort (6, which this dialog does not set, and any other value: Cancel).
    enum SelectState { kNotChosen = 4, kChosen = 5, kAutoSearch = 8, kEnd = 9 };

    explicit TfmFileSel(QWidget* owner = nullptr);

    // The file looked for (CP932): a song file name, or an archive file name and the member.
    void SetLostFile(const std::string& fileName, const std::string& memberName, bool archived);
    // The loaded archive library for the member check; nullptr when there is none.
    void SetArchiveLibrary(const ArchiveLibrary* library) { library_ = library; }

    // Shows the dialog modally and returns the ModalResult of the closing, as an int.
    int exec() override;
    ModalResult Result() const { return result_; }
    int State() const { return state_; }
    std::string ResultFolder() const { return resultFolder_; }  // the chosen folder, ending in "\"

    // The handlers.
    void FormShow();
    void lvFolderChange();
    void cmbDriveChange();
    void pbOKClick();
    void pbCancelClick();
    void pbEndClick();
    void pbAutoClick();
    void FormClose();

    // Every way of closing (buttons, close box, Escape) ends here, so the result always follows
    // the state.
    void done(int r) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Finish(int state);

    std::string fileName_;
    std::string memberName_;
    bool archived_ = false;
    const ArchiveLibrary* library_ = nullptr;

    std::string resultFolder_;
    char fallbackDrive_ = '\0';  // lower case, as the drive box shows it
    int state_ = kNotChosen;
    ModalResult result_ = ModalResult::None;

    QLineEdit* edFile_ = nullptr;
    DriveComboBox* cmbDrive_ = nullptr;
    FolderTree* lvFolder_ = nullptr;
    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
    QPushButton* pbEnd_ = nullptr;
    QPushButton* pbAuto_ = nullptr;
};

}  // namespace kyro
