// The source half of the list editor: the drive check, and the listing of the loose songs and the
// archive members of the chosen folder into the source list.
#include "editor/tfmmidiopen.h"

#include "dialogs/tfmwait.h"
#include "editor/sourcelisting.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "widgets/drivefolder.h"
#include "widgets/mlistbox.h"

#include <QComboBox>

namespace kyro {

void TfmMidiOpen::cmbSourceDrvChange() {
    const auto drive = CheckDrive(cmbSourceDrv_->Drive(), rememberedDrive_);
    if (!drive) {
        close();
        return;
    }
    cmbSourceDrv_->SetDrive(*drive);
    lvSourceDir_->SetDrive(*drive);  // lists the source again through the folder change
}

// The folder shown stays; its drive is chosen again among the new items (none when its letter is
// no longer mapped, and the next choice goes through the drive check).
void TfmMidiOpen::RefillDriveBox() {
    cmbSourceDrv_->Refill();
    cmbSourceDrv_->SetDrive(lvSourceDir_->Drive());
}

void TfmMidiOpen::lvSourceDirChange() { ListSource(); }

void TfmMidiOpen::cmbFilterChange() { ListSource(); }

// The editor is disabled and the wait dialog shown while the folder is read; every tenth file the
// events run, so that its Cancel can be pressed. What was found until then stays listed.
void TfmMidiOpen::ListSource() {
    if (!player_ || player_->Busy() || lvSourceDir_->Folder().empty()) return;
    PlayerBusyScope busy(*player_);
    BeginLongWork(TfmWait::kSearchingFiles);
    lbSourceFile_->clear();

    SourceListingHooks hooks;
    hooks.keepGoing = [this](int) { return KeepGoing(); };
    hooks.archiveFailed = [](const std::string& message) {
        ShowMessage(Cp932ToQString(message), MessageIcon::Exclamation);
    };
    const std::vector<std::string> items =
        ListSourceFolder(SourceFolder(), cmbFilter_->currentIndex(), player_->Archive(), hooks);
    for (const std::string& item : items) {
        auto* row = new QListWidgetItem(Cp932ToQString(item));
        row->setData(Qt::UserRole, QByteArray::fromStdString(item));  // the bytes, as the list stores them
        lbSourceFile_->addItem(row);
    }
    UpdateSourceScrollWidth();

    EndLongWork();
    raise();
}

}  // namespace kyro
