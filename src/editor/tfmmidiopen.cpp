// The list editor's window: its layout, the opening, the edited group in the list boxes, the map
// display, the buttons, the detail view, selection, select all and drag and drop.
#include "editor/tfmmidiopen.h"

#include "dialogs/tfmwait.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "widgets/dragroute.h"
#include "widgets/drivefolder.h"
#include "widgets/form.h"
#include "widgets/mlistbox.h"
#include "widgets/mpanel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

namespace kyro {

namespace {

constexpr int kClientWidth = 545;
constexpr int kClientHeight = 388;
constexpr int kSourceTag = 1;  // drag and drop: the source list
constexpr int kEntryTag = 2;   // and the entry list
const char kTagProperty[] = "tag";

int TagOf(const QObject* object) { return object ? object->property(kTagProperty).toInt() : 0; }

}  // namespace

TfmMidiOpen::TfmMidiOpen(QWidget* owner) : QWidget(owner, Qt::Window) {
    SetUpForm(this, "fmMidiOpen", QStringLiteral("File List"));
    // A window of its own with a system menu and a minimise box, of fixed size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());
    BuildLayout();
    ConnectHandlers();
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

TfmMidiOpen::~TfmMidiOpen() = default;

void TfmMidiOpen::BuildLayout() {
    // The source column.
    cmbSourceDrv_ = MakeControl<DriveComboBox>(this, "cmbSourceDrv", {4, 4, 176, 22});
    lvSourceDir_ = MakeControl<FolderTree>(this, "lvSourceDir", {4, 30, 176, 120});
    lbSourceFile_ = MakeControl<MListBox>(this, "lbSourceFile", {4, 154, 176, 176});
    cmbFilter_ = MakeControl<QComboBox>(this, "cmbFilter", {4, 334, 176, 22});
    pbFileMove_ = MakeControl<QPushButton>(this, "pbFileMove", {4, 360, 176, 24}, QStringLiteral("ﾌｧｲﾙ移動(&F)"));

    pbAddList_ = MakeControl<QPushButton>(this, "pbAddList", {184, 150, 30, 28}, QStringLiteral("&>>"));
    pbDelList_ = MakeControl<QPushButton>(this, "pbDelList", {184, 186, 30, 28}, QStringLiteral("&<<"));

    // The entry column.
    pbSelGroup_ = MakeControl<QPushButton>(this, "pbSelGroup", {218, 4, 80, 22}, QStringLiteral("&Group定義"));
    cmbGroupName_ = MakeControl<QComboBox>(this, "cmbGroupName", {302, 4, 158, 22});
    cmbGroupName_->setMaxVisibleItems(9);
    cbDtl_ = MakeControl<QCheckBox>(this, "cbDtl", {218, 30, 104, 20}, QStringLiteral("詳細表示(&D)"));
    cbULCheck_ = MakeControl<QCheckBox>(this, "cbULCheck", {326, 30, 134, 20}, QStringLiteral("大／小文字を区別"));
    edSearch_ = MakeControl<QLineEdit>(this, "edSearch", {218, 54, 170, 22});
    pbSearch_ = MakeControl<QPushButton>(this, "pbSearch", {392, 54, 68, 22}, QStringLiteral("&Search"));
    lbEntryFile_ = MakeControl<MListBox>(this, "lbEntryFile", {218, 80, 242, 228});
    lbEntryDir_ = MakeControl<QListWidget>(this, "lbEntryDir", {0, 0, 10, 10});
    lbEntryTitle_ = MakeControl<QListWidget>(this, "lbEntryTitle", {0, 0, 10, 10});
    lbEntryMap_ = MakeControl<QListWidget>(this, "lbEntryMap", {0, 0, 10, 10});
    for (QListWidget* hidden : {lbEntryDir_, lbEntryTitle_, lbEntryMap_}) hidden->hide();

    gbRbMap_ = MakeControl<QGroupBox>(this, "gbRbMap", {218, 310, 242, 46}, QStringLiteral("&Map"));
    mapButtons_ = new QButtonGroup(this);
    const QString mapCaptions[] = {QStringLiteral("無"), QStringLiteral("88"), QStringLiteral("55"),
                                   QStringLiteral("GM"), QStringLiteral("8P")};
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(mapCaptions[i], gbRbMap_);
        radio->setObjectName(QStringLiteral("gbRbMap%1").arg(i));
        radio->setGeometry(8 + i * 46, 20, 44, 20);
        mapButtons_->addButton(radio, i);
    }
    pbListMove_ = MakeControl<QPushButton>(this, "pbListMove", {218, 360, 242, 24}, QStringLiteral("ﾘｽﾄ移動(&L)"));

    // The button column.
    edFileCount_ = MakeControl<MPanel>(this, "edFileCount", {464, 4, 77, 22});
    edFileCount_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edFileCount_->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edFileCount_->setContentsMargins(0, 0, 4, 0);
    pbOK_ = MakeControl<QPushButton>(this, "pbOK", {464, 32, 77, 26}, QStringLiteral("&OK"));
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {464, 62, 77, 26}, QStringLiteral("&Cancel"));
    pbUpdate_ = MakeControl<QPushButton>(this, "pbUpdate", {464, 92, 77, 26}, QStringLiteral("更新(&U)"));
    pbWCheck_ = MakeControl<QPushButton>(this, "pbWCheck", {464, 122, 77, 26}, QStringLiteral("重複(&D)"));
    pbUp_ = MakeControl<QPushButton>(this, "pbUp", {464, 160, 37, 30}, QString());
    pbDown_ = MakeControl<QPushButton>(this, "pbDown", {504, 160, 37, 30}, QString());
    pbUp_->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    pbDown_->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    pbTest_ = MakeControl<QPushButton>(this, "pbTest", {464, 200, 77, 26}, QStringLiteral("Test&Play"));
    pbTitle_ = MakeControl<QPushButton>(this, "pbTitle", {464, 230, 77, 26}, QStringLiteral("&Title"));
    pbDoc_ = MakeControl<QPushButton>(this, "pbDoc", {464, 260, 77, 26}, QStringLiteral("&Document"));

    // Both lists select several items at once and start drags by themselves.
    for (MListBox* list : {lbSourceFile_, lbEntryFile_}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setDragEnabled(true);
        list->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        list->setDefaultDropAction(Qt::CopyAction);
        list->viewport()->installEventFilter(this);
        list->installEventFilter(this);
    }
    lbSourceFile_->setProperty(kTagProperty, kSourceTag);
    lbEntryFile_->setProperty(kTagProperty, kEntryTag);
}

void TfmMidiOpen::ConnectHandlers() {
    connect(pbOK_, &QPushButton::clicked, this, &TfmMidiOpen::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmMidiOpen::pbCancelClick);
    connect(pbUpdate_, &QPushButton::clicked, this, &TfmMidiOpen::pbUpdateClick);
    connect(pbAddList_, &QPushButton::clicked, this, &TfmMidiOpen::pbAddListClick);
    connect(pbDelList_, &QPushButton::clicked, this, &TfmMidiOpen::pbDelListClick);
    connect(pbUp_, &QPushButton::clicked, this, &TfmMidiOpen::pbUpClick);
    connect(pbDown_, &QPushButton::clicked, this, &TfmMidiOpen::pbDownClick);
    connect(pbSelGroup_, &QPushButton::clicked, this, &TfmMidiOpen::pbSelGroupClick);
    connect(pbTitle_, &QPushButton::clicked, this, &TfmMidiOpen::pbTitleClick);
    connect(pbFileMove_, &QPushButton::clicked, this, &TfmMidiOpen::pbFileMoveClick);
    connect(pbListMove_, &QPushButton::clicked, this, &TfmMidiOpen::pbListMoveClick);
    connect(pbTest_, &QPushButton::clicked, this, &TfmMidiOpen::pbTestClick);
    connect(pbDoc_, &QPushButton::clicked, this, &TfmMidiOpen::pbDocClick);
    connect(pbSearch_, &QPushButton::clicked, this, &TfmMidiOpen::pbSearchClick);
    connect(pbWCheck_, &QPushButton::clicked, this, &TfmMidiOpen::pbWCheckClick);
    connect(cbDtl_, &QCheckBox::clicked, this, &TfmMidiOpen::cbDtlClick);
    connect(mapButtons_, &QButtonGroup::idClicked, this, &TfmMidiOpen::gbRbMapClick);
    connect(cmbGroupName_, &QComboBox::activated, this, &TfmMidiOpen::cmbGroupNameChange);
    connect(cmbFilter_, &QComboBox::activated, this, &TfmMidiOpen::cmbFilterChange);
    connect(cmbSourceDrv_, &DriveComboBox::driveChosen, this, &TfmMidiOpen::cmbSourceDrvChange);
    connect(lvSourceDir_, &FolderTree::folderChanged, this, &TfmMidiOpen::lvSourceDirChange);
    connect(lbEntryFile_, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectionSignalsMuted_) lbEntryFileClick();
    });
    // A double click opens the documents where the Document button would.
    connect(lbEntryFile_, &QListWidget::itemDoubleClicked, this, [this] {
        if (pbDoc_->isEnabled()) pbDocClick();
    });
    pbCancel_->setShortcut(QKeySequence(Qt::Key_Escape));
}

// ---- Opening ---------------------------------------------------------------------------------

void TfmMidiOpen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TfmMidiOpen::FormShow() {
    if (!player_) return;
    modified_ = false;
    rememberedDrive_ = static_cast<char>(std::tolower(ActiveDriveMap().CurrentDrive()));
    SetFilterItems();
    work_ = player_->Songs();
    group_ = std::clamp(player_->CurrentGroup(), 0, kGroupCount - 1);
    LoadGroupNames();

    // The source side starts where the program was started, and stays where the user goes. It is
    // listed once, below: placing the tree would list it too, and show every message twice.
    if (lvSourceDir_->Folder().empty()) {
        const QSignalBlocker placing(lvSourceDir_);
        cmbSourceDrv_->Refill();
        const auto here = sourceStart_.empty() ? DosPath(QDir::currentPath().toStdString()) : sourceStart_;
        if (!here || !lvSourceDir_->SetFolder(*here)) lvSourceDir_->SetDrive(ActiveDriveMap().CurrentDrive());
        cmbSourceDrv_->SetDrive(lvSourceDir_->Drive());
    }
    ListSource();

    const int current = player_->CurrentIndex();
    if (current >= 0 && current < static_cast<int>(entries_.size())) {
        std::vector<bool> selected(entries_.size(), false);
        selected[current] = true;
        SetSelection(selected, current);
        lbEntryFile_->scrollToItem(lbEntryFile_->item(current), QAbstractItemView::PositionAtTop);
        UpdateMapDisplay();
    }
    UpdateButtons();
    UpdateEntryScrollWidth();
    UpdateSourceScrollWidth();
}

void TfmMidiOpen::SetFilterItems() {
    rcpKinds_ = player_->RcpPlayable();
    cmbFilter_->clear();
    cmbFilter_->addItem(QStringLiteral("MIDIﾌｧｲﾙ (*.MID)"));
    if (rcpKinds_) {
        cmbFilter_->addItem(QStringLiteral("ﾚｺﾝﾎﾟｰｻﾞ (*.RCP)"));
        cmbFilter_->addItem(QStringLiteral("(*.MID or *.RCP)"));
    }
    cmbFilter_->setCurrentIndex(rcpKinds_ ? 2 : 0);
}

// ---- The edited group ------------------------------------------------------------------------

void TfmMidiOpen::LoadGroupNames() {
    cmbGroupName_->clear();
    for (const std::string& name : player_->Songs().groupNames) cmbGroupName_->addItem(Cp932ToQString(name));
    cmbGroupName_->setCurrentIndex(group_);
    // Changes not yet saved stay in the list boxes: the names are all that is new.
    if (!modified_) LoadGroup();
    Notify(companions_.listMove, LinkMessage::UM_COPY_GROUP_NAMES);
    Notify(companions_.title, LinkMessage::UM_COPY_GROUP_NAMES);
}

void TfmMidiOpen::LoadGroup() {
    entries_ = EntriesOfGroup(work_.groups[group_]);
    ShowEntries(std::vector<bool>(entries_.size(), false), -1);
}

void TfmMidiOpen::ShowEntries(const std::vector<bool>& selected, int current) {
    const QSignalBlocker blocker(lbEntryFile_);
    lbEntryFile_->clear();
    for (const EditorEntry& e : entries_) lbEntryFile_->addItem(Cp932ToQString(e.DisplayText(detailView_)));
    SetSelection(selected, current);
    ShowCount();
    UpdateEntryScrollWidth();
    FillHiddenLists();
}

// The hidden boxes are filled again as a whole, so that they can never drift from the entries.
void TfmMidiOpen::FillHiddenLists() {
    for (QListWidget* hidden : {lbEntryDir_, lbEntryTitle_, lbEntryMap_}) hidden->clear();
    for (const EditorEntry& e : entries_) {
        lbEntryDir_->addItem(Cp932ToQString(e.folder));
        lbEntryTitle_->addItem(Cp932ToQString(e.title));
        lbEntryMap_->addItem(QString(QChar::fromLatin1(e.map)));
    }
}

std::vector<bool> TfmMidiOpen::Selection() const {
    std::vector<bool> selected(entries_.size(), false);
    for (std::size_t i = 0; i < entries_.size(); ++i)
        selected[i] = lbEntryFile_->item(static_cast<int>(i))->isSelected();
    return selected;
}

void TfmMidiOpen::SetSelection(const std::vector<bool>& selected, int current) {
    const bool muted = std::exchange(selectionSignalsMuted_, true);
    if (current >= 0 && current < lbEntryFile_->count())
        lbEntryFile_->setCurrentRow(current, QItemSelectionModel::NoUpdate);
    for (int i = 0; i < lbEntryFile_->count(); ++i)
        lbEntryFile_->item(i)->setSelected(i < static_cast<int>(selected.size()) && selected[i]);
    selectionSignalsMuted_ = muted;
}

void TfmMidiOpen::ShowCount() { edFileCount_->SetCaption2(QString::number(entries_.size())); }

void TfmMidiOpen::StoreEditedGroup() { StoreEntries(entries_, work_.groups[group_]); }

// With no entry selected no map is shown; otherwise the map of the selected entries when they
// all have the same one. Showing it is not an assignment.
void TfmMidiOpen::UpdateMapDisplay() {
    const std::vector<int> selected = SelectedIndexes(Selection());
    int shown = -1;
    if (!selected.empty()) {
        shown = entries_[selected.front()].map - '0';
        for (int i : selected)
            if (entries_[i].map != entries_[selected.front()].map) shown = -1;
    }
    mapButtons_->setExclusive(false);  // an exclusive group cannot show no item
    for (QAbstractButton* button : mapButtons_->buttons()) button->setChecked(mapButtons_->id(button) == shown);
    mapButtons_->setExclusive(true);
}

void TfmMidiOpen::UpdateButtons() {
    const std::vector<bool> selected = Selection();
    const std::vector<int> indexes = SelectedIndexes(selected);
    const auto run = ContiguousRun(selected);
    const bool one = indexes.size() == 1;
    const int last = static_cast<int>(entries_.size()) - 1;
    pbDoc_->setEnabled(!documentReaderOpen_ && one && entries_[indexes[0]].DisplayText(detailView_).find("->") != std::string::npos);
    pbTest_->setEnabled(one);
    pbUp_->setEnabled(run && run->first != 0);
    pbDown_->setEnabled(run && run->second != last);
}

void TfmMidiOpen::UpdateEntryScrollWidth() {
    std::vector<std::string> texts;
    texts.reserve(entries_.size());
    for (const EditorEntry& e : entries_) texts.push_back(e.DisplayText(detailView_));
    UpdateHorizontalExtent(*lbEntryFile_, texts);
}

void TfmMidiOpen::UpdateSourceScrollWidth() {
    std::vector<std::string> texts;
    for (int i = 0; i < lbSourceFile_->count(); ++i)
        texts.push_back(lbSourceFile_->item(i)->data(Qt::UserRole).value<QByteArray>().toStdString());
    UpdateHorizontalExtent(*lbSourceFile_, texts);
}

void TfmMidiOpen::AfterSelectionChange() {
    UpdateMapDisplay();
    Notify(companions_.title, LinkMessage::UM_SYNC_SELECTION);
    UpdateButtons();
}

void TfmMidiOpen::lbEntryFileClick() { AfterSelectionChange(); }

// Paths, selection and the modified flag stay; only the texts shown change.
void TfmMidiOpen::cbDtlClick() {
    detailView_ = cbDtl_->isChecked();
    ShowEntries(Selection(), lbEntryFile_->currentRow());
}

void TfmMidiOpen::SelectAll(QListWidget* list) {
    list->selectAll();
    if (list == lbEntryFile_) AfterSelectionChange();
}

// ---- Drag and drop ---------------------------------------------------------------------------

bool TfmMidiOpen::lbEntryFileDragOver(QObject* source) const { return TagOf(source) == kSourceTag; }

void TfmMidiOpen::lbEntryFileDragDrop(QObject* source) {
    if (lbEntryFileDragOver(source)) pbAddListClick();
}

bool TfmMidiOpen::lbSourceFileDragOver(QObject* source) const { return TagOf(source) == kEntryTag; }

void TfmMidiOpen::lbSourceFileDragDrop(QObject* source) {
    if (lbSourceFileDragOver(source)) pbDelListClick();
}

// The lists' own drops would copy items between them; the editor decides what a drop means.
bool TfmMidiOpen::eventFilter(QObject* watched, QEvent* event) {
    const bool entryList = watched == lbEntryFile_ || watched == lbEntryFile_->viewport();
    const bool sourceList = watched == lbSourceFile_ || watched == lbSourceFile_->viewport();
    if (!entryList && !sourceList) return QWidget::eventFilter(watched, event);
    const bool routed = entryList ? RouteDragEvent(
                                        event, this, [this](QObject* source) { return lbEntryFileDragOver(source); },
                                        [this](QObject* source) { lbEntryFileDragDrop(source); })
                                  : RouteDragEvent(
                                        event, this, [this](QObject* source) { return lbSourceFileDragOver(source); },
                                        [this](QObject* source) { lbSourceFileDragDrop(source); });
    if (routed || event->type() != QEvent::KeyPress) return routed;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_A || !(key->modifiers() & Qt::ControlModifier)) return false;
    SelectAll(entryList ? static_cast<QListWidget*>(lbEntryFile_) : lbSourceFile_);
    return true;
}

// ---- Closing ---------------------------------------------------------------------------------

void TfmMidiOpen::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    // FormClose: the companions that belong to the editor go with it.
    for (QWidget* companion : {companions_.listMove, companions_.fileMove, companions_.title})
        if (companion && companion->isVisible()) companion->close();
}

// ---- Notifications ---------------------------------------------------------------------------

void TfmMidiOpen::Notify(QWidget* receiver, LinkMessage msg, std::intptr_t wParam, LParam lParam) {
    if (!receiver || !receiver->isVisible()) return;
    if (auto* target = dynamic_cast<LinkTarget*>(receiver)) SendLinkMessage(target, msg, wParam, std::move(lParam));
}

void TfmMidiOpen::ShowCompanion(QWidget* window) {
    if (!window) return;
    if (auto* target = dynamic_cast<LinkTarget*>(window)) SendLinkMessage(target, LinkMessage::UM_LOAD_FRONT);
    window->show();
    window->raise();
}

// ---- Long work -------------------------------------------------------------------------------

// The wait dialog belongs to the editor, and a disabled window disables the windows it owns: the
// dialog is enabled again by name, or its Cancel could not be pressed.
TfmWait* TfmMidiOpen::BeginLongWork(int waitMode) {
    setEnabled(false);
    TfmWait* wait = companions_.wait;
    if (wait) {
        wait->setEnabled(true);
        wait->SetWaitMode(waitMode);
        wait->ShowModeless();
    }
    return wait;
}

void TfmMidiOpen::EndLongWork() {
    if (companions_.wait) companions_.wait->hide();
    setEnabled(true);
}

bool TfmMidiOpen::KeepGoing() const {
    QApplication::processEvents();
    return !(companions_.wait && companions_.wait->Cancelled());
}

std::string TfmMidiOpen::SourceFolder() const { return WithTrailingBackslash(lvSourceDir_->Folder()); }

}  // namespace kyro
