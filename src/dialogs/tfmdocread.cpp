#include "dialogs/tfmdocread.h"

#include "dialogs/tfmwait.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "platform/linkmessages.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/tempcopy.h"
#include "widgets/form.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kyro {

TfmDocRead::TfmDocRead(QWidget* owner) : QWidget(owner, Qt::Window | Qt::WindowStaysOnTopHint) {
    SetUpForm(this, "fmDocRead", QStringLiteral("Document Reader"));
    resize(600, 420);
    edMemo_ = MakeControl<QPlainTextEdit>(this, "edMemo", {0, 0, 600, 420});
    edMemo_->setReadOnly(true);
    edMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines scroll, as in a text viewer
    edMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edMemo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = GothicFont(13);
    font.setStyleHint(QFont::TypeWriter);
    edMemo_->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edMemo_);
}

void TfmDocRead::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmDocRead::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfmDocRead::FormShow() {
    edMemo_->clear();
    docPath_.clear();
    SendLinkMessage(editor_, LinkMessage::UM_DOC_DISABLE);
    std::string path;
    if (SendLinkMessage(editor_, LinkMessage::UM_GET_DOC_PATH, 0, &path) == 0) return;
    docPath_ = path;
    const DocumentUnpacking unpacking = unpacking_ ? unpacking_() : DocumentUnpacking{};
    if (Unpack(unpacking)) ShowDocument(unpacking.tempFolder);
}

void TfmDocRead::FormClose() {
    if (wait_ && wait_->isVisible()) wait_->reject();
    SendLinkMessage(editor_, LinkMessage::UM_DOC_ENABLE);
}

// A busy library is waited out with the wait dialog's countdown: OK tries again, Cancel gives up.
bool TfmDocRead::Unpack(const DocumentUnpacking& unpacking) {
    for (;;) {
        std::string output;
        const int result = ExtractArchiveMember(unpacking.library, docPath_, unpacking.tempFolder, output);
        if (result == kExtractOk) {
            unpackedPath_ = output;
            return true;
        }
        // A failed extraction may leave part of the file behind.
        if (result == kExtractFailed && !output.empty()) DeleteTemporaryCopy(unpacking.tempFolder, output);
        if (result != kExtractBusy || !wait_) return false;
        wait_->SetWaitMode(TfmWait::kArchiveBusy);
        wait_->SetUnlhaBusy(unpacking.unlhaBusy);
        if (wait_->exec() != QDialog::Accepted) return false;
    }
}

void TfmDocRead::ShowDocument(const std::string& tempFolder) {
    const auto bytes = ReadFileBytes(unpackedPath_, kMaxDocumentBytes + 1);
    DeleteTemporaryCopy(tempFolder, unpackedPath_);
    unpackedPath_.clear();
    if (!bytes) return;
    if (bytes->size() > kMaxDocumentBytes) {
        ShowMessage(QStringLiteral("文書が大きすぎるため表示できません。"), MessageIcon::Exclamation);
        return;
    }
    if (bytes->find('\0') != std::string::npos) {
        ShowMessage(QStringLiteral("テキスト文書ではないため表示できません。"), MessageIcon::Exclamation);
        return;
    }
    // Lines end in CR LF, LF or CR in the documents of old archives.
    QString text = Cp932ToQString(*bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    edMemo_->setPlainText(text);
}

}  // namespace kyro
