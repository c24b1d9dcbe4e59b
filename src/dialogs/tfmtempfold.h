#pragma once
// TfmTempFold: the "Temporary Folder" dialog, a drive box and folder list from which the system
// dialog's browse button takes a folder that can be written.

#include <QDialog>

#include <string>

class QPushButton;

namespace kyro {

class DriveComboBox;
class FolderTree;

class TfmTempFold : public QDialog {
    Q_OBJECT
public:
    explicit TfmTempFold(QWidget* owner = nullptr);

    // The folder the list opens at (DOS form); where it cannot be read, the current drive's root.
    void SetStartFolder(const std::string& dosFolder) { startFolder_ = dosFolder; }
    // After OK: the chosen folder, ending in "\".
    const std::string& ResultFolder() const { return resultFolder_; }

    // The handlers.
    void FormShow();
    void cmbDriveChange();
    void pbOKClick();
    void pbCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string startFolder_;
    std::string resultFolder_;
    char shownDrive_ = '\0';  // the current drive when the dialog was shown

    DriveComboBox* cmbDrive_ = nullptr;
    FolderTree* lvFolder_ = nullptr;
    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
};

}  // namespace kyro
