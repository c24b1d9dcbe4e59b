#include "dialogs/tfmfilesel.h"

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "songfiles/archiveaccess.h"
#include "widgets/drivefolder.h"
#include "widgets/form.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>

#include <cctype>

namespace kyro {

namespace {

constexpr int kClientWidth = 400;
constexpr int kClientHeight = 276;

ModalResult ResultOf(int selectState) {
    switch (selectState) {
    case TfmFileSel::kChosen: return ModalResult::Ok;
    case 6: return ModalResult::Cancel;
    case TfmFileSel::kAutoSearch: return ModalResult::Retry;
    case TfmFileSel::kNotChosen: return ModalResult::No;
    case TfmFileSel::kEnd: return ModalResult::Abort;
    default: return ModalResult::Cancel;
    }
}

}  // namespace

TfmFileSel::TfmFileSel(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmFileSel", QStringLiteral("File Select"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());

    edFile_ = new QLineEdit(this);
    edFile_->setObjectName(QStringLiteral("edFile"));
    edFile_->setGeometry(8, 8, 384, 22);
    edFile_->setReadOnly(true);

    cmbDrive_ = new DriveComboBox(this);
    cmbDrive_->setObjectName(QStringLiteral("cmbDrive"));
    cmbDrive_->setGeometry(8, 38, 264, 24);

    lvFolder_ = new FolderTree(this);
    lvFolder_->setObjectName(QStringLiteral("lvFolder"));
    lvFolder_->setGeometry(8, 68, 264, 200);

    pbOK_ = MakeControl<QPushButton>(this, "pbOK", {280, 38, 112, 26}, QStringLiteral("&OK"));
    pbOK_->setDefault(true);
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {280, 70, 112, 26}, QStringLiteral("&Cancel"));
    pbEnd_ = MakeControl<QPushButton>(this, "pbEnd", {280, 102, 112, 26}, QStringLiteral("&End"));
    pbAuto_ = MakeControl<QPushButton>(this, "pbAuto", {280, 242, 112, 26}, QStringLiteral("自動で探す(&A)"));

    QWidget* tabOrder[] = {cmbDrive_, lvFolder_, pbOK_, pbCancel_, pbEnd_, pbAuto_};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

    connect(cmbDrive_, &DriveComboBox::driveChosen, this, &TfmFileSel::cmbDriveChange);
    connect(lvFolder_, &FolderTree::folderChanged, this, &TfmFileSel::lvFolderChange);
    connect(pbOK_, &QPushButton::clicked, this, &TfmFileSel::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmFileSel::pbCancelClick);
    connect(pbEnd_, &QPushButton::clicked, this, &TfmFileSel::pbEndClick);
    connect(pbAuto_, &QPushButton::clicked, this, &TfmFileSel::pbAutoClick);

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfmFileSel::SetLostFile(const std::string& fileName, const std::string& memberName, bool archived) {
    fileName_ = fileName;
    memberName_ = memberName;
    archived_ = archived;
}

int TfmFileSel::exec() {
    QDialog::exec();
    return static_cast<int>(result_);
}

void TfmFileSel::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmFileSel::FormShow() {
    fallbackDrive_ = static_cast<char>(std::tolower(static_cast<unsigned char>(ActiveDriveMap().CurrentDrive())));
    edFile_->setText(Cp932ToQString(archived_ ? fileName_ + "->" + memberName_ : fileName_));
    {
        // The folder of the last showing, read again; else the working folder; else the root of
        // the current drive. The OK check follows once, below.
        const QSignalBlocker quiet(lvFolder_);
        if (lvFolder_->Folder().empty() || !lvFolder_->SetFolder(lvFolder_->Folder())) {
            const auto working = DosPath(QDir::currentPath().toStdString());
            if (!working || !lvFolder_->SetFolder(*working)) lvFolder_->SetDrive(fallbackDrive_);
        }
    }
    cmbDrive_->Refill();  // the drive map is settled only after this dialog is made at start-up
    cmbDrive_->SetDrive(lvFolder_->Drive());
    resultFolder_.clear();
    lvFolderChange();
    state_ = kNotChosen;
    result_ = ModalResult::None;
}

void TfmFileSel::lvFolderChange() {
    bool found = false;
    if (!lvFolder_->Folder().empty()) {
        const std::string path = WithTrailingBackslash(lvFolder_->Folder()) + fileName_;
        found = FileExists(path);
        if (found && archived_) {
            std::string member = memberName_;  // FindArchiveMember puts its failure message here
            found = FindArchiveMember(library_, path, member) == kArchiveOk;
        }
    }
    pbOK_->setEnabled(found);
}

void TfmFileSel::cmbDriveChange() {
    const auto drive = CheckDrive(cmbDrive_->Drive(), fallbackDrive_);
    if (!drive) {
        Finish(kNotChosen);
        return;
    }
    cmbDrive_->SetDrive(*drive);
    // Choosing the drive already shown keeps its folder.
    if (*drive != lvFolder_->Drive()) lvFolder_->SetDrive(*drive);
}

void TfmFileSel::pbOKClick() {
    resultFolder_ = WithTrailingBackslash(lvFolder_->Folder());
    Finish(kChosen);
}

void TfmFileSel::pbCancelClick() { Finish(kNotChosen); }
void TfmFileSel::pbEndClick() { Finish(kEnd); }
void TfmFileSel::pbAutoClick() { Finish(kAutoSearch); }

void TfmFileSel::Finish(int state) {
    state_ = state;
    done(state == kChosen ? Accepted : Rejected);
}

void TfmFileSel::done(int r) {
    FormClose();
    QDialog::done(r);
}

void TfmFileSel::FormClose() { result_ = ResultOf(state_); }

}  // namespace kyro
