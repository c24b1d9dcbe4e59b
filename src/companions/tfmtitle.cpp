#include "companions/tfmtitle.h"

#include "companions/companionwindow.h"
#include "dialogs/tfmwait.h"
#include "editor/entrymatch.h"
#include "library/playerlink.h"
#include "library/songlist.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "widgets/form.h"
#include "widgets/mlistbox.h"
#include "widgets/mpanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShowEvent>

namespace kyro {

namespace {

constexpr int kDefaultWidth = 422;
constexpr int kDefaultHeight = 358;
constexpr int kPanelHeight = 60;
constexpr int kEntryTag = 2;  // the editor's entry list carries it too: the list move window takes both

}  // namespace

TfmTitle::TfmTitle(QWidget* owner) : QWidget(owner, Qt::Window) {
    SetUpForm(this, "fmTitle", QStringLiteral("Title"));
    setFont(GothicFont());
    resize(kDefaultWidth, kDefaultHeight);
    BuildLayout();
    ConnectHandlers();
}

void TfmTitle::BuildLayout() {
    Panel1_ = MakeControl<MPanel>(this, "Panel1", {0, 0, kDefaultWidth, kPanelHeight});
    pbClose_ = MakeControl<QPushButton>(Panel1_, "pbClose", {4, 4, 64, 24}, QStringLiteral("&Close"));
    pbGetTitle_ = MakeControl<QPushButton>(Panel1_, "pbGetTitle", {72, 4, 80, 24}, QStringLiteral("&Get Title"));
    pbSelNew_ = MakeControl<QPushButton>(Panel1_, "pbSelNew", {156, 4, 84, 24}, QStringLiteral("&Select New"));
    cmbGroupName_ = MakeControl<QComboBox>(Panel1_, "cmbGroupName", {246, 5, 170, 22});
    cmbGroupName_->setMaxVisibleItems(9);
    edSearch_ = MakeControl<QLineEdit>(Panel1_, "edSearch", {4, 32, 126, 24});
    pbSearch_ = MakeControl<QPushButton>(Panel1_, "pbSearch", {134, 32, 64, 24}, QStringLiteral("&Search"));
    cbULCheck_ = MakeControl<QCheckBox>(Panel1_, "cbULCheck", {204, 34, 128, 20}, QStringLiteral("大／小文字を区別"));
    cbStayOnTop_ = MakeControl<QCheckBox>(Panel1_, "cbStayOnTop", {338, 34, 80, 20}, QStringLiteral("前面(&F)"));

    lbTitle_ = MakeControl<MListBox>(this, "lbTitle", {0, kPanelHeight, kDefaultWidth, kDefaultHeight - kPanelHeight});
    lbTitle_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lbTitle_->setDragEnabled(true);
    lbTitle_->setDragDropMode(QAbstractItemView::DragOnly);
    lbTitle_->setProperty("tag", kEntryTag);
    lbTitle_->installEventFilter(this);
}

void TfmTitle::ConnectHandlers() {
    connect(pbClose_, &QPushButton::clicked, this, &TfmTitle::pbCloseClick);
    connect(pbGetTitle_, &QPushButton::clicked, this, &TfmTitle::pbGetTitleClick);
    connect(pbSelNew_, &QPushButton::clicked, this, &TfmTitle::pbSelNewClick);
    connect(pbSearch_, &QPushButton::clicked, this, &TfmTitle::pbSearchClick);
    connect(cbStayOnTop_, &QCheckBox::clicked, this, &TfmTitle::cbStayOnTopClick);
    connect(cmbGroupName_, &QComboBox::activated, this, &TfmTitle::cmbGroupNameChange);
    connect(lbTitle_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectionMuted_) lbTitleClick();
    });
}

void TfmTitle::SetListEditor(QWidget* editorWindow, LinkTarget* editor, TitleWriter writeTitle) {
    editorWindow_ = editorWindow;
    editor_ = editor;
    writeTitle_ = std::move(writeTitle);
}

void TfmTitle::SetPlayer(PlayerLink* player) {
    player_ = player;
    FormCreate();
}

// ---- Opening and closing ---------------------------------------------------------------------

void TfmTitle::FormCreate() {
    if (!player_) return;
    const std::string& folder = player_->ProgramFolder();
    const std::string ini = SettingsFilePath(folder);
    resize(ReadProfileInt(ini, kSettingsSection, "TitleSizeX", kDefaultWidth),
           ReadProfileInt(ini, kSettingsSection, "TitleSizeY", kDefaultHeight));
    PlaceAtSavedPosition(this, folder, "TitlePosX", "TitlePosY");  // sized first: the whole title bar goes on the screen
}

void TfmTitle::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();  // not again when the desktop merely restores it
}

void TfmTitle::FormShow() {
    {
        const QScopedValueRollback mute(selectionMuted_, true);
        lbTitle_->clear();
    }
    Request(LinkMessage::UM_COPY_GROUP_NAMES, 0, cmbGroupName_);
    Request(LinkMessage::UM_SYNC_GROUP, 1, cmbGroupName_);
    Request(LinkMessage::UM_COPY_TITLES, 0, static_cast<QListWidget*>(lbTitle_));
    PullSelection();
    UpdateExtent();
}

void TfmTitle::closeEvent(QCloseEvent* event) {
    if (running_) {  // the close box during Get Title stops the run; the window stays
        cancelRequested_ = true;
        event->ignore();
        return;
    }
    FormClose();
    QWidget::closeEvent(event);
}

void TfmTitle::FormClose() {
    if (!player_) return;
    const std::string& folder = player_->ProgramFolder();
    SavePosition(this, folder, "TitlePosX", "TitlePosY");
    const std::string ini = SettingsFilePath(folder);
    WriteProfileInt(ini, kSettingsSection, "TitleSizeX", width());
    WriteProfileInt(ini, kSettingsSection, "TitleSizeY", height());
}

void TfmTitle::pbCloseClick() { close(); }

// The panel keeps its height; the list takes the rest of the window.
void TfmTitle::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Panel1_->setGeometry(0, 0, width(), kPanelHeight);
    lbTitle_->setGeometry(0, kPanelHeight, width(), std::max(0, height() - kPanelHeight));
}

// ---- Stay in front ---------------------------------------------------------------------------

void TfmTitle::LoadFront() {
    if (player_) LoadStayInFront(this, editorWindow_, cbStayOnTop_, player_->ProgramFolder(), "TitleFront");
}

void TfmTitle::cbStayOnTopClick() {
    if (player_) StayInFrontClicked(this, editorWindow_, cbStayOnTop_, player_->ProgramFolder(), "TitleFront");
}

// ---- The rows and the editor -----------------------------------------------------------------

std::intptr_t TfmTitle::Request(LinkMessage msg, std::intptr_t wParam, LParam lParam) {
    return SendLinkMessage(editor_, msg, wParam, std::move(lParam));
}

void TfmTitle::PullSelection() {
    const QScopedValueRollback mute(selectionMuted_, true);
    Request(LinkMessage::UM_SYNC_SELECTION, 1, static_cast<QListWidget*>(lbTitle_));
}

void TfmTitle::PushSelection() { Request(LinkMessage::UM_SYNC_SELECTION, 2, static_cast<QListWidget*>(lbTitle_)); }

void TfmTitle::ReloadTitles() {
    {
        const QScopedValueRollback mute(selectionMuted_, true);
        lbTitle_->clear();
        Request(LinkMessage::UM_COPY_TITLES, 0, static_cast<QListWidget*>(lbTitle_));
    }
    PullSelection();
    UpdateExtent();
}

std::vector<std::string> TfmTitle::Rows() const {
    std::vector<std::string> rows;
    rows.reserve(lbTitle_->count());
    for (int i = 0; i < lbTitle_->count(); ++i)
        rows.push_back(QStringToCp932(lbTitle_->item(i)->text()).value_or(std::string()));
    return rows;
}

void TfmTitle::UpdateExtent() { UpdateHorizontalExtent(*lbTitle_, Rows()); }

std::intptr_t TfmTitle::HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) {
    switch (msg) {
    case LinkMessage::UM_SYNC_SELECTION: PullSelection(); return 0;
    case LinkMessage::UM_RELOAD_TITLES: ReloadTitles(); return 0;
    case LinkMessage::UM_COPY_GROUP_NAMES:
        Request(LinkMessage::UM_COPY_GROUP_NAMES, 0, cmbGroupName_);
        Request(LinkMessage::UM_SYNC_GROUP, 1, cmbGroupName_);
        return 0;
    case LinkMessage::UM_SYNC_GROUP:
        Request(LinkMessage::UM_SYNC_GROUP, 1, cmbGroupName_);
        UpdateExtent();
        return 0;
    case LinkMessage::UM_TITLE_MOVE_DOWN:
    case LinkMessage::UM_TITLE_MOVE_UP: {
        // The run first..last moved by one: the row it passed goes to its other end.
        const std::intptr_t range = LParamNumber(lParam);
        const int first = static_cast<int>(range / 65536);
        const int last = static_cast<int>(range % 65536);
        const bool down = msg == LinkMessage::UM_TITLE_MOVE_DOWN;
        const int from = down ? last + 1 : first - 1;
        if (from < 0 || from >= lbTitle_->count()) return 0;
        const QScopedValueRollback mute(selectionMuted_, true);
        lbTitle_->insertItem(down ? first : last, lbTitle_->takeItem(from));
        return 0;
    }
    case LinkMessage::UM_TITLE_ADD: {
        const std::string* title = LParamText(lParam);
        if (!title) {
            ShowMessage(QStringLiteral("新規タイトル送信先が不正です。"), MessageIcon::Stop);
            return 0;
        }
        lbTitle_->addItem(Cp932ToQString(*title));
        return 1;
    }
    case LinkMessage::UM_TITLE_DELETE:
        if (wParam < 0 || wParam >= lbTitle_->count()) {
            ShowMessage(QStringLiteral("削除対象リスト番号が不正です。"), MessageIcon::Stop);
            return 0;
        }
        {
            const QScopedValueRollback mute(selectionMuted_, true);
            delete lbTitle_->takeItem(static_cast<int>(wParam));
        }
        return 1;
    case LinkMessage::UM_LOAD_FRONT: LoadFront(); return 0;
    default: return 0;
    }
}

// ---- User commands ---------------------------------------------------------------------------

void TfmTitle::lbTitleClick() { PushSelection(); }

// Ctrl+A selects every row, and the editor follows.
bool TfmTitle::eventFilter(QObject* watched, QEvent* event) {
    if (watched != lbTitle_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_A || !(key->modifiers() & Qt::ControlModifier)) return false;
    {
        const QScopedValueRollback mute(selectionMuted_, true);
        lbTitle_->selectAll();
    }
    PushSelection();
    return true;
}

// The editor may keep its group (Cancel on its "not saved" question): the box then names the
// group whose titles are shown again.
void TfmTitle::cmbGroupNameChange() {
    Request(LinkMessage::UM_SYNC_GROUP, 2, cmbGroupName_);
    Request(LinkMessage::UM_SYNC_GROUP, 1, cmbGroupName_);
    UpdateExtent();
}

void TfmTitle::pbSelNewClick() {
    const QString untitled = Cp932ToQString(kUntitledMarker);
    {
        const QScopedValueRollback mute(selectionMuted_, true);
        for (int i = 0; i < lbTitle_->count(); ++i)
            if (lbTitle_->item(i)->text() == untitled) lbTitle_->item(i)->setSelected(true);
    }
    PushSelection();
}

void TfmTitle::pbSearchClick() {
    if ((player_ && player_->Busy()) || edSearch_->text().isEmpty()) return;
    const QString notFound = QStringLiteral("指定された文字は見つかりませんでした。");
    if (lbTitle_->count() == 0) {
        ShowMessage(notFound, MessageIcon::Information);
        return;
    }
    std::optional<PlayerBusyScope> busy;
    if (player_) busy.emplace(*player_);
    // Text that CP932 cannot hold occurs in no title.
    const std::optional<std::string> needle = QStringToCp932(edSearch_->text());
    const std::vector<bool> found =
        needle ? SearchEntries(Rows(), *needle, cbULCheck_->isChecked()) : std::vector<bool>(lbTitle_->count(), false);
    int count = 0;
    {
        const QScopedValueRollback mute(selectionMuted_, true);
        lbTitle_->clearSelection();
        for (int i = 0; i < static_cast<int>(found.size()); ++i) {
            if (!found[i]) continue;
            lbTitle_->item(i)->setSelected(true);
            ++count;
        }
    }
    PushSelection();
    if (count > 0)
        ShowMessage(QString::asprintf("%3d 個のリストが見つかりました。\n見つかったリストは選択されます。", count),
                    MessageIcon::Information);
    else
        ShowMessage(notFound, MessageIcon::Information);
}

}  // namespace kyro
