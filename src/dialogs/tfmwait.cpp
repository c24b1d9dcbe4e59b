#include "dialogs/tfmwait.h"

#include "platform/cp932.h"
#include "widgets/form.h"
#include "widgets/mpanel.h"
#include "widgets/throttledcaption.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

namespace kyro {

namespace {

constexpr int kClientWidth = 380;
constexpr int kClientHeight = 132;

// A long walk sets the entry name for every entry; painting each one would slow it down.

QFont PixelFont(const QString& family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

MPanel* MakePanel(QWidget* parent, const char* name, QRect geometry, bool framed) {
    auto* panel = MakeControl<MPanel>(parent, name, geometry);
    if (!framed) panel->setFrameStyle(QFrame::NoFrame);
    return panel;
}

QString WaitText(int seconds) { return QStringLiteral("Wait %1s").arg(seconds); }

}  // namespace

TfmWait::TfmWait(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmWait", QStringLiteral("Just a Moment ..."));
    // A title bar without close box or system menu: the wait ends by the countdown or by Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(PixelFont(QStringLiteral("ＭＳ ゴシック"), 12, false));

    edMode_ = MakePanel(this, "edMode", {8, 8, 364, 24}, false);
    edMode_->setFont(PixelFont(QStringLiteral("ＭＳ ゴシック"), 16, true));
    edMode_->SetCaption(QStringLiteral("UNLHA32.DLL が作業中です。"));

    lblJust_ = new QLabel(QStringLiteral("Just a Moment ..."), this);
    lblJust_->setObjectName(QStringLiteral("lblJust"));
    QFont justFont = PixelFont(QStringLiteral("ＭＳ ゴシック"), 37, true);
    justFont.setFixedPitch(true);
    lblJust_->setFont(justFont);
    lblJust_->setAlignment(Qt::AlignCenter);
    lblJust_->setGeometry(8, 36, 364, 48);

    // Wait mode 4 shows the group and the entry where "Just a Moment ..." stands.
    edGrpName_ = MakePanel(this, "edGrpName", {8, 38, 364, 20}, true);
    edListName_ = MakePanel(this, "edListName", {8, 62, 364, 20}, true);
    edGrpName_->hide();
    edListName_->hide();

    edStatus_ = MakePanel(this, "edStatus", {8, 96, 100, 26}, true);
    edStatus_->SetAlignment(Qt::AlignCenter);
    edStatus_->hide();

    cancelBtn_ = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn_->setGeometry(145, 96, 90, 26);
    connect(cancelBtn_, &QPushButton::clicked, this, &TfmWait::CancelBtnClick);
    // Escape presses Cancel, so that it also only sets the flag in modeless use (QDialog's own
    // Escape would close the dialog under the caller's loop).
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, cancelBtn_, &QPushButton::click);

    dummy_ = new QPushButton(QStringLiteral("Dummy"), this);
    dummy_->setObjectName(QStringLiteral("Dummy"));
    dummy_->setGeometry(300, 96, 60, 26);
    dummy_->hide();
    connect(dummy_, &QPushButton::clicked, this, [this] {
        DummyClick();
        accept();
    });

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TfmWait::Timer1Timer);

    listName_ = new ThrottledCaption(edListName_);

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

void TfmWait::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();  // not again when the desktop merely restores it
}

void TfmWait::closeEvent(QCloseEvent* event) {
    timer1_->stop();
    QDialog::closeEvent(event);
}

// accept() and done() hide the dialog without a close event: the countdown stops here too.
void TfmWait::hideEvent(QHideEvent* event) {
    timer1_->stop();
    QDialog::hideEvent(event);
}

void TfmWait::FormShow() {
    cancelled_ = false;
    edStatus_->hide();
    lblJust_->show();
    edListName_->hide();
    edGrpName_->hide();
    switch (waitMode_) {
    case kArchiveBusy:
        edMode_->SetCaption(QStringLiteral("UNLHA32.DLL が作業中です。"));
        countdown_ = unlhaBusy_;
        edStatus_->SetCaption(WaitText(countdown_));
        edStatus_->show();
        timer1_->start();
        break;
    case kSearchingFiles:
        edMode_->SetCaption(QStringLiteral("ファイルを検索中です。"));
        break;
    case kDuplicateCheck:
        edMode_->SetCaption(QStringLiteral("重複チェック中です。"));
        break;
    case kLostFileCheck:
        edMode_->SetCaption(QStringLiteral("迷子ファイル調査中です。"));
        lblJust_->hide();
        edListName_->show();
        edGrpName_->show();
        break;
    default:
        break;
    }
}

void TfmWait::Timer1Timer() {
    if (cancelled_) {
        timer1_->stop();
        done(Rejected);
        return;
    }
    --countdown_;
    if (countdown_ > 0) {
        edStatus_->SetCaption(WaitText(countdown_));
        return;
    }
    edStatus_->SetCaption(WaitText(0));
    timer1_->stop();
    accept();
    DummyClick();
}

void TfmWait::CancelBtnClick() {
    cancelled_ = true;
    // Modeless, the caller's loop reads the flag and hides the dialog itself.
    if (isModal()) done(Rejected);
}

void TfmWait::DummyClick() { cancelled_ = false; }

void TfmWait::ShowModeless() {
    setModal(false);
    if (isVisible())
        FormShow();  // no show event for a dialog already on screen
    else
        show();
    raise();
}

void TfmWait::SetGroupName(const std::string& name) { edGrpName_->SetCaption2(Cp932ToQString(name)); }

void TfmWait::SetListName(const std::string& path) { listName_->Set(path); }

}  // namespace kyro
