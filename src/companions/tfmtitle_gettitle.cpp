// The title window's Get Title: the titles of the selected rows read out of their song files
// (an archived song unpacked into the temporary folder first) and written into the editor.
// While it runs, the editor and this window refuse input except the button that cancels it.
#include "companions/tfmtitle.h"

#include "dialogs/tfmwait.h"
#include "library/playerlink.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/filekinds.h"
#include "songfiles/tempcopy.h"
#include "songfiles/titles.h"
#include "widgets/mlistbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace kyro {

namespace {

constexpr int kMaxRows = 1000;      // more than the 999 entries a group holds
constexpr int kFailuresNamed = 20;  // a longer list of failed entries is cut, with a count of the rest

const char kBadKind[] = "ﾌｧｲﾙの形式が不正です。";
const char kCannotOpen[] = "ﾌｧｲﾙを開けませんでした。";
const char kDamaged[] = "ﾌｧｲﾙが異常です。";

}  // namespace

void TfmTitle::pbGetTitleClick() {
    if (running_) {  // the button is Cancel while the run goes on
        cancelRequested_ = true;
        return;
    }
    SetRunning(true);
    tempFolder_ = tempFolderSource_ ? tempFolderSource_() : std::string();
    const int rows = std::min(lbTitle_->count(), kMaxRows);
    std::vector<bool> selected(rows);
    for (int i = 0; i < rows; ++i) selected[i] = lbTitle_->item(i)->isSelected();
    {
        const QScopedValueRollback mute(selectionMuted_, true);  // the editor's selection stays until the end
        lbTitle_->clearSelection();
        for (int i = 0; i < rows && !cancelRequested_; ++i) {
            if (!selected[i]) continue;
            lbTitle_->item(i)->setSelected(true);  // the selection shows how far the run is
            lbTitle_->scrollToItem(lbTitle_->item(i));
            if (ReadRowTitle(i) == RowOutcome::Stop) break;
            QCoreApplication::processEvents();  // paints the progress, and lets Cancel be pressed
        }
        // However the run ended, the selection is what it was.
        for (int i = 0; i < rows; ++i) lbTitle_->item(i)->setSelected(selected[i]);
    }
    PushSelection();
    UpdateExtent();
    SetRunning(false);
    ReportFailures();
}

// During a run the editor and this window refuse input, but for the button that cancels it.
void TfmTitle::SetRunning(bool running) {
    running_ = running;
    cancelRequested_ = false;
    Request(LinkMessage::UM_EDITOR_ENABLE, running ? 1 : 0);
    setEnabled(true);  // owned by the editor (in front), the window is disabled with it
    for (QWidget* control : std::initializer_list<QWidget*>{lbTitle_, pbClose_, pbSelNew_, edSearch_, pbSearch_,
                                                            cbULCheck_, cbStayOnTop_, cmbGroupName_})
        control->setEnabled(!running);
    pbGetTitle_->setText(running ? QStringLiteral("&Cancel") : QStringLiteral("&Get Title"));
}

// Reads the title of the entry in `row`; on success the row and the editor's entry take it.
// A title that cannot be read leaves the old one and is reported at the end of the run.
TfmTitle::RowOutcome TfmTitle::ReadRowTitle(int row) {
    std::string path;
    if (Request(LinkMessage::UM_GET_ENTRY_PATH, row, &path) == 0) return RowOutcome::Skipped;
    const auto fail = [&](const char* reason) {
        failures_.push_back(reason + ("\n" + Cp932ToUtf8(path)));
        return RowOutcome::Failed;
    };

    const ArchiveLibrary* library = player_ ? player_->Archive() : nullptr;
    std::string file;
    int extracted = ExtractArchiveMember(library, path, tempFolder_, file);
    while (extracted == kExtractBusy) {
        if (!WaitForArchive()) return RowOutcome::Stop;
        file.clear();
        extracted = ExtractArchiveMember(library, path, tempFolder_, file);
    }
    const bool copied = extracted != kExtractNotMember;
    if (extracted != kExtractOk && extracted != kExtractNotMember) {
        // The library failed or is not there: the next archived song would fail the same way.
        if (!file.empty()) DeleteTemporaryCopy(tempFolder_, file);
        fail(kCannotOpen);
        return RowOutcome::Stop;
    }

    const FileKind kind = ClassifyFileName(file, kPurposeSongs);
    std::string title;
    int read = kTitleCannotOpen;
    if (kind == FileKind::Mid) read = ReadMidiTitle(file, title);
    else if (kind == FileKind::Rcp) read = ReadRcpTitle(file, title);
    if (copied) DeleteTemporaryCopy(tempFolder_, file);

    if (kind != FileKind::Mid && kind != FileKind::Rcp) return fail(kBadKind);
    if (read == kTitleCannotOpen) return fail(kCannotOpen);
    if (read != kTitleRead) return fail(kDamaged);
    lbTitle_->item(row)->setText(Cp932ToQString(title));
    if (writeTitle_) writeTitle_(row, title);
    return RowOutcome::Read;
}

// The archive library is busy: the wait dialog counts down, then the entry is tried again,
// unless the user cancels the wait (false).
bool TfmTitle::WaitForArchive() {
    if (!wait_) return false;
    wait_->SetWaitMode(TfmWait::kArchiveBusy);
    wait_->SetUnlhaBusy(player_ ? player_->SettingsInForce().unlhaBusy : 0);
    wait_->setEnabled(true);  // its owner, the editor, is disabled meanwhile
    return wait_->exec() == QDialog::Accepted;
}

// One message for the whole run, naming every entry whose title stayed as it was.
void TfmTitle::ReportFailures() {
    if (failures_.empty()) return;
    QString text;
    const int named = std::min<int>(static_cast<int>(failures_.size()), kFailuresNamed);
    for (int i = 0; i < named; ++i) {
        if (i > 0) text += QLatin1Char('\n');
        text += QString::fromStdString(failures_[i]);
    }
    if (static_cast<int>(failures_.size()) > named)
        text += QStringLiteral("\nほか %1 件").arg(static_cast<int>(failures_.size()) - named);
    failures_.clear();
    ShowMessage(text, MessageIcon::Stop);
}

}  // namespace kyro
