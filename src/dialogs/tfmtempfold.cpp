#include "dialogs/tfmtempfold.h"

#include "library/settings.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "widgets/drivefolder.h"
#include "widgets/form.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>

namespace kyro {

namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 260;

}  // namespace

TfmTempFold::TfmTempFold(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmTempFold", QStringLiteral("Temporary Folder"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());

    cmbDrive_ = MakeControl<DriveComboBox>(this, "cmbDrive", {8, 8, 284, 24});
    lvFolder_ = MakeControl<FolderTree>(this, "lvFolder", {8, 38, 284, 180});
    pbOK_ = MakeControl<QPushButton>(this, "pbOK", {100, 226, 92, 26}, QStringLiteral("&OK"));
    pbOK_->setDefault(true);
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {200, 226, 92, 26}, QStringLiteral("&Cancel"));
    setTabOrder(cmbDrive_, lvFolder_);
    setTabOrder(lvFolder_, pbOK_);
    setTabOrder(pbOK_, pbCancel_);

    connect(cmbDrive_, &DriveComboBox::driveChosen, this, &TfmTempFold::cmbDriveChange);
    connect(pbOK_, &QPushButton::clicked, this, &TfmTempFold::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmTempFold::pbCancelClick);

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfmTempFold::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmTempFold::FormShow() {
    shownDrive_ = ActiveDriveMap().CurrentDrive();
    {
        const QSignalBlocker quiet(lvFolder_);
        if (startFolder_.empty() || !lvFolder_->SetFolder(startFolder_)) lvFolder_->SetDrive(shownDrive_);
    }
    cmbDrive_->Refill();  // the drive map may have changed since the last showing
    cmbDrive_->SetDrive(lvFolder_->Drive());
    resultFolder_.clear();
}

void TfmTempFold::cmbDriveChange() {
    const auto drive = CheckDrive(cmbDrive_->Drive(), shownDrive_);
    if (!drive) {
        reject();  // no drive answers: there is nothing to choose from
        return;
    }
    cmbDrive_->SetDrive(*drive);
    if (*drive != lvFolder_->Drive()) lvFolder_->SetDrive(*drive);
}

void TfmTempFold::pbOKClick() {
    resultFolder_ = WithTrailingBackslash(lvFolder_->Folder());
    if (!IsFolderWritable(resultFolder_)) {
        ShowMessage(QStringLiteral("このディレクトリには書き込みができません。\n他のディレクトリを選択して下さい。"),
                    MessageIcon::Exclamation);
        return;
    }
    accept();
}

void TfmTempFold::pbCancelClick() { reject(); }

}  // namespace kyro
