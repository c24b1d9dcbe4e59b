#include "companions/tfmfilemove.h"

#include "companions/companionwindow.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filemove.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "widgets/drivefolder.h"
#include "widgets/dragroute.h"
#include "widgets/form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kyro {

namespace {

constexpr int kSourceListTag = 1;  // the editor's source list; its entry list has tag 2

int TagOf(const QObject* object) { return object ? object->property("tag").toInt() : 0; }

QString Lines(const std::vector<QString>& lines) {
    QString text;
    for (const QString& line : lines) text += QLatin1Char('\n') + line;
    return text;
}

// The drive whose folder holds the working folder, else the first mapped drive: outside every
// mapped folder CurrentDrive names Z, whatever Z is mapped to, or nothing at all.
char StartDrive(const DriveMap& drives) {
    const char current = drives.CurrentDrive();
    const auto folder = drives.NativeFolder(current);
    std::error_code error;
    const std::string working = std::filesystem::current_path(error).lexically_normal().string();
    const bool inside = folder && !error && (*folder == "/" || (working + '/').starts_with(*folder + '/'));
    return inside || drives.Letters().empty() ? current : drives.Letters().begin()->first;
}

}  // namespace

std::vector<std::string> SelectedSourceFiles(const QListWidget& sourceList) {
    std::vector<std::string> files;
    for (int row = sourceList.count() - 1; row >= 0; --row) {
        const QListWidgetItem* item = sourceList.item(row);
        if (!item->isSelected()) continue;
        std::string name = item->data(Qt::UserRole).toByteArray().toStdString();
        name = name.substr(0, name.find("->"));
        if (std::find(files.begin(), files.end(), name) == files.end()) files.push_back(name);
    }
    return files;
}

TfmFileMove::TfmFileMove(QWidget* owner) : QWidget(owner, Qt::Window) {
    SetUpForm(this, "fmFileMove", QStringLiteral("File Move"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(220, 286);
    setFont(GothicFont());

    cmbSourceDrv_ = MakeControl<DriveComboBox>(this, "cmbSourceDrv", {8, 8, 204, 24});
    lvSourceDir_ = MakeControl<FolderTree>(this, "lvSourceDir", {8, 36, 204, 208});
    Image1_ = MakeControl<QLabel>(this, "Image1", {12, 256, 16, 16});
    Image1_->setPixmap(style()->standardIcon(QStyle::SP_TrashIcon).pixmap(16, 16));
    Image1_->setToolTip(QStringLiteral("ごみ箱"));
    cbStayOnTop_ = MakeControl<QCheckBox>(this, "cbStayOnTop", {40, 252, 80, 24}, QStringLiteral("前面(&F)"));
    pbClose_ = MakeControl<QPushButton>(this, "pbClose", {132, 252, 80, 26}, QStringLiteral("&Close"));

    for (QWidget* target : {static_cast<QWidget*>(lvSourceDir_->viewport()), static_cast<QWidget*>(Image1_)}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }
    connect(cmbSourceDrv_, &DriveComboBox::driveChosen, this, &TfmFileMove::cmbSourceDrvChange);
    connect(cbStayOnTop_, &QCheckBox::clicked, this, &TfmFileMove::cbStayOnTopClick);
    connect(pbClose_, &QPushButton::clicked, this, &QWidget::close);
}

void TfmFileMove::SetListEditor(QWidget* editorWindow, LinkTarget* editor) {
    editorWindow_ = editorWindow;
    editor_ = editor;
}

void TfmFileMove::SetProgramFolder(const std::string& dosFolder) {
    programFolder_ = dosFolder;
    FormCreate();
}

void TfmFileMove::FormCreate() { PlaceAtSavedPosition(this, programFolder_, "FilePosX", "FilePosY"); }

void TfmFileMove::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

// The folder of the last showing stays; the first showing starts at the current drive's root,
// or at the first mapped drive's when the working folder lies outside every mapped one.
void TfmFileMove::FormShow() {
    fallbackDrive_ = static_cast<char>(std::tolower(static_cast<unsigned char>(StartDrive(ActiveDriveMap()))));
    cmbSourceDrv_->Refill();  // the drive map is settled only after this window is made
    if (lvSourceDir_->Folder().empty() || !lvSourceDir_->SetFolder(lvSourceDir_->Folder()))
        lvSourceDir_->SetDrive(fallbackDrive_);
    cmbSourceDrv_->SetDrive(lvSourceDir_->Drive());
}

void TfmFileMove::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TfmFileMove::FormClose() {
    if (!programFolder_.empty()) SavePosition(this, programFolder_, "FilePosX", "FilePosY");
}

void TfmFileMove::cmbSourceDrvChange() {
    const auto drive = CheckDrive(cmbSourceDrv_->Drive(), fallbackDrive_);
    if (!drive) {
        close();
        return;
    }
    cmbSourceDrv_->SetDrive(*drive);
    if (*drive != lvSourceDir_->Drive()) lvSourceDir_->SetDrive(*drive);
}

// ---- Stay in front ---------------------------------------------------------------------------

std::intptr_t TfmFileMove::HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam&) {
    if (msg == LinkMessage::UM_LOAD_FRONT) LoadFront();
    return 0;
}

void TfmFileMove::LoadFront() { LoadStayInFront(this, editorWindow_, cbStayOnTop_, programFolder_, "FileFront"); }

void TfmFileMove::cbStayOnTopClick() {
    StayInFrontClicked(this, editorWindow_, cbStayOnTop_, programFolder_, "FileFront");
}

// ---- Drag and drop ---------------------------------------------------------------------------

bool TfmFileMove::lvSourceDirDragOver(QObject* source) const { return TagOf(source) == kSourceListTag; }

bool TfmFileMove::Image1DragOver(QObject* source) const { return TagOf(source) == kSourceListTag; }

std::string TfmFileMove::SourceFolder() const {
    const auto* folders = editorWindow_ ? editorWindow_->findChild<FolderTree*>(QStringLiteral("lvSourceDir")) : nullptr;
    return folders && !folders->Folder().empty() ? WithTrailingBackslash(folders->Folder()) : std::string();
}

// The destination is the folder chosen in this window, not the row under the pointer. A file of
// the same name there is never replaced; what did not move is named in one message at the end.
void TfmFileMove::lvSourceDirDragDrop(QObject* source) {
    auto* sourceList = qobject_cast<QListWidget*>(source);
    if (!lvSourceDirDragOver(source) || !sourceList) return;
    const std::string from = SourceFolder();
    const std::string to = WithTrailingBackslash(lvSourceDir_->Folder());
    if (from.empty() || lvSourceDir_->Folder().empty()) return;
    if (from == to) {
        ShowMessage(QStringLiteral("送り側と受け側が同じディレクトリです。"), MessageIcon::Exclamation);
        return;
    }
    if (ShowMessage(QStringLiteral("ファイルを移動します\nよろしいですか？"), MessageIcon::Question,
                    MessageButtons::YesNo) != ModalResult::Yes)
        return;
    std::vector<QString> notMoved;
    for (const std::string& name : SelectedSourceFiles(*sourceList)) {
        switch (MoveFileNoReplace(from + name, to + name)) {
        case MoveResult::Moved: break;
        case MoveResult::TargetExists:
            notMoved.push_back(Cp932ToQString(name) + QStringLiteral("（移動先に同じ名前のファイルがあります）"));
            break;
        case MoveResult::Failed:
            notMoved.push_back(Cp932ToQString(name) + QStringLiteral("（移動できませんでした）"));
            break;
        }
    }
    if (!notMoved.empty())
        ShowMessage(QStringLiteral("次のファイルは移動していません。\n") + Lines(notMoved), MessageIcon::Exclamation);
    AfterFileWork(sourceList);
}

// Deleting goes to the desktop trash and nowhere else: a file that cannot go there stays.
void TfmFileMove::Image1DragDrop(QObject* source) {
    auto* sourceList = qobject_cast<QListWidget*>(source);
    if (!Image1DragOver(source) || !sourceList) return;
    const std::string from = SourceFolder();
    if (from.empty()) return;
    if (ShowMessage(QStringLiteral("ファイルを削除します\nよろしいですか？"), MessageIcon::Question,
                    MessageButtons::YesNo) != ModalResult::Yes)
        return;
    std::vector<QString> notDeleted;
    for (const std::string& name : SelectedSourceFiles(*sourceList)) {
        switch (MoveToTrash(from + name)) {
        case TrashResult::Trashed: break;
        case TrashResult::NoTrash:
            notDeleted.push_back(Cp932ToQString(name) + QStringLiteral("（ごみ箱が使えません）"));
            break;
        case TrashResult::Failed:
            notDeleted.push_back(Cp932ToQString(name) + QStringLiteral("（ごみ箱に移せませんでした）"));
            break;
        }
    }
    if (!notDeleted.empty())
        ShowMessage(QStringLiteral("次のファイルは削除していません。\n") + Lines(notDeleted), MessageIcon::Exclamation);
    AfterFileWork(sourceList);
}

void TfmFileMove::AfterFileWork(QListWidget* sourceList) {
    if (!sourceList->selectedItems().isEmpty()) SendLinkMessage(editor_, LinkMessage::UM_RELOAD_SOURCE);
}

// The folder list's own drops would add rows to it; this window decides what a drop means.
bool TfmFileMove::eventFilter(QObject* watched, QEvent* event) {
    const bool folderList = watched == lvSourceDir_->viewport();
    if (!folderList && watched != Image1_) return QWidget::eventFilter(watched, event);
    if (folderList)
        return RouteDragEvent(
            event, this, [this](QObject* source) { return lvSourceDirDragOver(source); },
            [this](QObject* source) { lvSourceDirDragDrop(source); });
    return RouteDragEvent(
        event, this, [this](QObject* source) { return Image1DragOver(source); },
        [this](QObject* source) { Image1DragDrop(source); });
}

}  // namespace kyro
