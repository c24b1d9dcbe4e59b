#include "app/tfmmid.h"

#include "app/resumestate.h"
#include "app/trayicon.h"
#include "editor/tfmmidiopen.h"
#include "library/listfiles.h"
#include "platform/messagebox.h"
#include "widgets/form.h"
#include "widgets/mpanel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <optional>

namespace kyro {

namespace {

constexpr int kClientWidth = 452;
constexpr int kClientHeight = 109;

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint pos) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(pos);
    label->adjustSize();
    return label;
}

// A transport button shows a picture; its caption's accelerator ("&R") stays as its shortcut.
QPushButton* MakeBitmapButton(QWidget* parent, const char* name, const QString& caption, QStyle::StandardPixmap icon,
                              QRect geometry) {
    auto* button = MakeControl<QPushButton>(parent, name, geometry, QString());
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(12, 12));
    button->setShortcut(QKeySequence::mnemonic(caption));
    button->setAccessibleName(caption);
    return button;
}

}  // namespace

TfmMid::TfmMid(const AppContext& context, QWidget* parent) : QWidget(parent, Qt::Window) {
    BuildLayout();
    InstallOrderHooks();
    RunStartup(context);
}

TfmMid::~TfmMid() { RemoveTrayIcon(); }

void TfmMid::BuildLayout() {
    setObjectName(QStringLiteral("fmMid"));
    setWindowTitle(QStringLiteral("Kyrotune LZH 95/NT Ver 2.52"));
    // Fixed single border with the system menu and the minimise box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    QFont font(QStringLiteral("ＭＳ 明朝"));
    font.setPixelSize(13);
    setFont(font);

    edAllList_ = MakeControl<MPanel>(this, "edAllList", {4, 3, 68, 18});
    edStatus_ = MakeControl<MPanel>(this, "edStatus", {75, 3, 93, 18});
    lblGroup_ = MakeLabel(this, "lblGroup", QStringLiteral("Group"), {179, 5});
    edGrpMode_ = MakeControl<MPanel>(this, "edGrpMode", {219, 3, 83, 18});
    lblList_ = MakeLabel(this, "lblList", QStringLiteral("List"), {309, 5});
    edLstMode_ = MakeControl<MPanel>(this, "edLstMode", {339, 3, 110, 18});
    edGroup_ = MakeControl<MPanel>(this, "edGroup", {4, 24, 445, 18});
    edNum_ = MakeControl<MPanel>(this, "edNum", {4, 45, 26, 18});
    edFile_ = MakeControl<MPanel>(this, "edFile", {33, 45, 394, 18});
    edMap_ = MakeControl<MPanel>(this, "edMap", {430, 45, 19, 18});

    edTitle_ = new QLineEdit(this);
    edTitle_->setObjectName(QStringLiteral("edTitle"));
    edTitle_->setGeometry(4, 66, 445, 21);
    edTitle_->setReadOnly(true);
    edTitle_->setFocusPolicy(Qt::NoFocus);
    QPalette titlePalette = edTitle_->palette();
    titlePalette.setColor(QPalette::Base, titlePalette.color(QPalette::Button));
    edTitle_->setPalette(titlePalette);

    pbREW_ = MakeBitmapButton(this, "pbREW", QStringLiteral("&R"), QStyle::SP_MediaSeekBackward, {6, 91, 32, 16});
    pbPLAY_ = MakeBitmapButton(this, "pbPLAY", QStringLiteral("&P"), QStyle::SP_MediaPlay, {49, 91, 48, 16});
    pbFF_ = MakeBitmapButton(this, "pbFF", QStringLiteral("&F"), QStyle::SP_MediaSeekForward, {109, 91, 32, 16});
    pbSTOP_ = MakeBitmapButton(this, "pbSTOP", QStringLiteral("&S"), QStyle::SP_MediaStop, {153, 91, 32, 16});
    pbLIST_ = MakeControl<QPushButton>(this, "pbLIST", {272, 91, 53, 17}, QStringLiteral("&LIST"));
    pbSYSTEM_ = MakeControl<QPushButton>(this, "pbSYSTEM", {337, 91, 53, 17}, QStringLiteral("SYST&EM"));
    pbBYE_ = MakeControl<QPushButton>(this, "pbBYE", {401, 91, 41, 17}, QStringLiteral("&BYE"));

    QWidget* tabOrder[] = {pbREW_, pbPLAY_, pbFF_, pbSTOP_, pbLIST_, pbSYSTEM_, pbBYE_};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) setTabOrder(tabOrder[i], tabOrder[i + 1]);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &TfmMid::Timer1Timer);

    connect(pbPLAY_, &QPushButton::clicked, this, &TfmMid::pbPLAYClick);
    connect(pbSTOP_, &QPushButton::clicked, this, &TfmMid::pbSTOPClick);
    connect(pbFF_, &QPushButton::clicked, this, &TfmMid::pbFFClick);
    connect(pbREW_, &QPushButton::clicked, this, &TfmMid::pbREWClick);
    connect(pbLIST_, &QPushButton::clicked, this, &TfmMid::pbLISTClick);
    connect(pbSYSTEM_, &QPushButton::clicked, this, &TfmMid::pbSYSTEMClick);
    connect(pbBYE_, &QPushButton::clicked, this, &QWidget::close);

    tray_ = new TrayIcon(this);
    connect(tray_, &TrayIcon::restoreRequested, this, &TfmMid::RestoreFromTray);
    connect(tray_, &TrayIcon::closeRequested, this, &QWidget::close);  // as BYE does

    // Centred on the screen.
    if (QScreen* screen = QApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

// The close query. A visible list editor may refuse (it asks about an unsaved list). Otherwise the
// player stops first, then the play order and the titles filled in while songs played are saved
// (only when one changed: a list that could not be read must not cost the titles it belongs to);
// a failed resume file does not stop the titles.
void TfmMid::closeEvent(QCloseEvent* event) {
    if (quitRequested_) {  // a start-up that ended early has nothing to save
        event->accept();
        return;
    }
    if (editor_ && editor_->isVisible() && !editor_->CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    SaveAndEnd(true);
}

void TfmMid::EndWithTheSession() {
    if (quitRequested_) return;  // a start-up that ended early has nothing to save
    if (editor_) editor_->hide();  // its unsaved list stays unsaved: closing it would ask
    SaveAndEnd(false);
}

bool TfmMid::CommitSessionData(bool mayAsk) {
    if (quitRequested_) return true;
    SaveRunState(mayAsk);
    return !(editor_ && editor_->isVisible() && mayAsk && !editor_->CloseQuery());
}

// A failed resume file does not stop the titles; each failure gives its message, shown when
// `attended` (a window may show it), else on standard error.
bool TfmMid::SaveRunState(bool attended) {
    std::optional<UnattendedMessages> unattended;
    if (!attended) unattended.emplace();
    bool saved = SaveResumeState(programFolder_, order_.Snapshot());
    if (titlesChanged_ && listFilesHoldSongs_) {
        const bool titlesSaved = SaveTitles(programFolder_, songs_, listLayout_);
        titlesChanged_ = !titlesSaved;
        saved = saved && titlesSaved;
    }
    return saved;
}

void TfmMid::SaveAndEnd(bool attended) {
    StopPlayback();
    const bool saved = SaveRunState(attended);
    emit ProgramEnding(saved ? 0 : 1);
}

void TfmMid::SetListEditor(TfmMidiOpen* editor) {
    editor_ = editor;
    if (editor_) editor_->SetPlayer(this);
}

// The files are written from the new list, each group on its first lines; titles read later are
// saved on those lines. When they cannot be written, the files keep the old list, to which the
// titles in memory no longer belong: the close then leaves the title file alone.
bool TfmMid::ReplaceSongList(const SongList& edited) {
    songs_.groups = edited.groups;
    listFilesHoldSongs_ = SaveSongList(programFolder_, songs_);
    listLayout_ = ListLayout::Packed(songs_);
    titlesChanged_ = false;
    return listFilesHoldSongs_;
}

// The play targets and group names are the group dialog's; ListNumber is only kept.
void TfmMid::ApplySettings(const Settings& settings) {
    settings_.listRandomType = settings.listRandomType;
    settings_.groupRandomType = settings.groupRandomType;
    settings_.unlhaBusy = settings.unlhaBusy;
    settings_.autoStart = settings.autoStart;
    settings_.warningMsg = settings.warningMsg;
    settings_.tempFolder = settings.tempFolder;
    UseTempFolder(settings.tempFolder);
}

void TfmMid::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    if (!tray_->CanHideWindow()) return;  // no way back but the taskbar
    // Hidden after the state change is done, so that the window manager keeps it minimised.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized()) hide();
    });
}

void TfmMid::AddTrayIcon() { tray_->Add(); }

void TfmMid::RemoveTrayIcon() {
    if (tray_) tray_->Remove();
}

void TfmMid::UpdateTrayTip() { tray_->UpdateTip(state_ == PlayerState::Playing, edTitle_->text()); }

void TfmMid::RestoreFromTray() {
    showNormal();
    raise();
    activateWindow();
}

}  // namespace kyro
