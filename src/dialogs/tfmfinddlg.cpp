#include "dialogs/tfmfinddlg.h"

#include "library/settings.h"
#include "platform/cp932.h"
#include "platform/drivewalk.h"
#include "platform/messagebox.h"
#include "songfiles/archiveaccess.h"
#include "widgets/form.h"
#include "widgets/mpanel.h"
#include "widgets/throttledcaption.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace kyro {

namespace {

constexpr int kClientWidth = 420;
constexpr int kClientHeight = 194;

// The walk runs on this thread: events (the buttons, the close box) are processed every fifth
// folder, and the folder shown at most every 50 ms, so that neither slows the walk down.
constexpr int kFoldersBetweenEvents = 5;

QFrame* MakeBevel(QWidget* parent, const char* name, QRect geometry) {
    auto* bevel = MakeControl<QFrame>(parent, name, geometry);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return bevel;
}

ModalResult ResultOf(int searchState) {
    switch (searchState) {
    case TfmFindDlg::kAccepted: return ModalResult::Ok;
    case TfmFindDlg::kSearching: return ModalResult::No;
    case TfmFindDlg::kChooseFolder: return ModalResult::Retry;
    case TfmFindDlg::kEnd: return ModalResult::Abort;
    default: return ModalResult::Cancel;
    }
}

// `found` is the path found (CP932), with "->" and the member for an archived song.
QString ReplaceQuestion(const std::string& found) {
    return QStringLiteral("ファイルを発見しました。\n[") + Cp932ToQString(found) +
           QStringLiteral("]\n登録リストをこのファイルに置き換えますか？");
}

QString UncheckedArchiveQuestion(const std::string& found) {
    return QStringLiteral("圧縮ファイルを発見しましたが、\n"
                          "UNLHA32.DLLがロードされていない為 圧縮ファイル内を検索できません。\n[") +
           Cp932ToQString(found) + QStringLiteral("]\n登録リストをこのファイルに置き換えますか？");
}

}  // namespace

TfmFindDlg::TfmFindDlg(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmFindDlg", QStringLiteral("File Sertch"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());

    // The bevels first, so that the labels lie on them.
    bevel1_ = MakeBevel(this, "Bevel1", {8, 8, 404, 56});
    bevel2_ = MakeBevel(this, "Bevel2", {8, 72, 404, 80});
    label2_ = MakeControl<QLabel>(this, "Label2", {16, 14, 388, 16}, QStringLiteral("迷子ファイル"));
    lblSrc_ = MakeControl<MPanel>(this, "lblSrc", {16, 34, 388, 22});
    label1_ = MakeControl<QLabel>(this, "Label1", {16, 78, 388, 16}, QStringLiteral("ファイルを検索中です。"));
    lblFile_ = MakeControl<MPanel>(this, "lblFile", {16, 98, 388, 22});
    lblFolder_ = MakeControl<MPanel>(this, "lblFolder", {16, 124, 388, 22});

    pbSelf_ = MakeControl<QPushButton>(this, "pbSelf", {8, 160, 112, 26}, QStringLiteral("場所指定(&S)"));
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {212, 160, 96, 26}, QStringLiteral("&Cancel"));
    pbEnd_ = MakeControl<QPushButton>(this, "pbEnd", {316, 160, 96, 26}, QStringLiteral("&End"));
    pbCancel_->setDefault(true);
    setTabOrder(pbSelf_, pbCancel_);
    setTabOrder(pbCancel_, pbEnd_);

    connect(pbSelf_, &QPushButton::clicked, this, &TfmFindDlg::pbSelfClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmFindDlg::pbCancelClick);
    connect(pbEnd_, &QPushButton::clicked, this, &TfmFindDlg::pbEndClick);

    folderCaption_ = new ThrottledCaption(lblFolder_);

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfmFindDlg::SetLostFile(const std::string& sourcePath, const std::string& fileName,
                             const std::string& memberName, bool archived) {
    sourcePath_ = sourcePath;
    fileName_ = fileName;
    memberName_ = memberName;
    archived_ = archived;
}

ModalResult TfmFindDlg::Run() {
    exec();
    return result_;
}

void TfmFindDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();  // not again when the desktop merely restores it
}

void TfmFindDlg::FormShow() {
    const std::string member = archived_ ? "->" + memberName_ : std::string();
    lblSrc_->SetCaption2(Cp932ToQString(sourcePath_ + member));
    lblFile_->SetCaption2(Cp932ToQString(fileName_ + member));
    folderCaption_->Set(std::string());
    folderCaption_->Flush();
    state_ = kSearching;
    result_ = ModalResult::None;
    searching_ = true;
    // Posted, so that the dialog is on the screen before the walk begins.
    PostLinkMessage(this, this, LinkMessage::UM_START_SEARCH);
}

std::intptr_t TfmFindDlg::HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam&) {
    // A dialog closed before its search began has nothing to search for.
    if (msg == LinkMessage::UM_START_SEARCH && searching_ && isVisible()) SearchDrives();
    return 0;
}

void TfmFindDlg::pbCancelClick() { state_ = kCancelled; }
void TfmFindDlg::pbSelfClick() { state_ = kChooseFolder; }
void TfmFindDlg::pbEndClick() { state_ = kEnd; }

// Drive after drive until a find is accepted, the user declines to go on, a button is pressed,
// or every drive has been walked. Then the dialog closes itself.
void TfmFindDlg::SearchDrives() {
    DriveWalk walk(fileName_);
    int folders = 0;
    while (state_ == kSearching) {
        const DriveWalk::Step step = walk.Next();
        if (step == DriveWalk::Step::Finished) break;
        folderCaption_->Set(walk.CurrentFolder());
        if (step == DriveWalk::Step::Found) {
            folderCaption_->Flush();  // the folder of the find is on show while the user is asked
            if (ConsiderFind(walk.CurrentFolder())) break;
        }
        if (++folders % kFoldersBetweenEvents == 0) QCoreApplication::processEvents();
    }
    folderCaption_->Flush();  // the folder the search ended in stays on show
    searching_ = false;
    if (isVisible()) done(state_ == kAccepted ? Accepted : Rejected);
}

// The file was found in `folder` (a drive's walk ends there). True when the search ends: the
// find is accepted, or after an archive without the song the user does not want to go on.
bool TfmFindDlg::ConsiderFind(const std::string& folder) {
    const std::string path = folder + fileName_;
    if (!archived_) return Offer(folder, ReplaceQuestion(path), kWarnFileFound);
    const std::string song = path + "->" + memberName_;
    if (!library_) return Offer(folder, UncheckedArchiveQuestion(song), kWarnCantLzh);

    std::string member = memberName_;  // FindArchiveMember leaves its failure message here
    switch (FindArchiveMember(library_, path, member)) {
    case kArchiveOk:
        return Offer(folder, ReplaceQuestion(song), kWarnLzhFound);
    case kArchiveNoMember:
        if (!(warningMsg_ & kWarnLzhNotFound)) return false;
        return ShowMessage(QStringLiteral("圧縮ファイルを発見しましたが、\n"
                                          "圧縮ファイル内に該当ファイルが存在しません。\n検索を続行しますか？"),
                           MessageIcon::Question, MessageButtons::YesNo) != ModalResult::Yes;
    default:
        ShowMessage(Cp932ToQString(member), MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
}

// Accepts the find in `folder`, after asking when `warningBit` is set; false when declined.
bool TfmFindDlg::Offer(const std::string& folder, const QString& question, int warningBit) {
    resultFolder_ = folder;
    if ((warningMsg_ & warningBit) &&
        ShowMessage(question, MessageIcon::Question, MessageButtons::YesNo) != ModalResult::Yes)
        return false;
    state_ = kAccepted;
    return true;
}

void TfmFindDlg::done(int r) {
    if (searching_ && state_ == kSearching) state_ = kCancelled;  // closed while searching
    result_ = ResultOf(state_);
    QDialog::done(r);
}

}  // namespace kyro
