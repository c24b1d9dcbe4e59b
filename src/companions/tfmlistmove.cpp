#include "companions/tfmlistmove.h"

#include "companions/companionwindow.h"
#include "editor/tfmmidiopen.h"
#include "library/playerlink.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "widgets/dragroute.h"
#include "widgets/form.h"
#include "widgets/mpanel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>

namespace kyro {

namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 300;
constexpr int kRowHeight = 24;
constexpr int kFirstRowTop = 26;
constexpr int kEntryTag = 2;      // the editor's entry list and the title window's list
constexpr int kFirstGroupTag = 11;  // edGrpTitle1; group index = tag mod 10 - 1
constexpr int kLimit = 1000;      // a group holds fewer entries than this

int TagOf(const QObject* object) { return object ? object->property("tag").toInt() : 0; }

// The group a drop target stands for, or -1 for any other control.
int GroupOf(const QObject* target) {
    const int tag = TagOf(target);
    return tag >= kFirstGroupTag && tag < kFirstGroupTag + kGroupCount ? tag % 10 - 1 : -1;
}

}  // namespace

TfmListMove::TfmListMove(QWidget* owner) : QWidget(owner, Qt::Window) {
    SetUpForm(this, "fmListMove", QStringLiteral("List Move"));
    // Minimise and close boxes, fixed size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());
    BuildLayout();
    connect(pbClose_, &QPushButton::clicked, this, &TfmListMove::pbCloseClick);
    connect(cbStayOnTop_, &QCheckBox::clicked, this, &TfmListMove::cbStayOnTopClick);
}

void TfmListMove::BuildLayout() {
    Label3_ = MakeControl<QLabel>(this, "Label3", {8, 6, 200, 16}, QStringLiteral("グループ名"));
    Label2_ = MakeControl<QLabel>(this, "Label2", {222, 6, 70, 16}, QStringLiteral("登録数"));
    Label2_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const QPalette face = palette();
    for (int g = 0; g < kGroupCount; ++g) {
        const int top = kFirstRowTop + g * kRowHeight;
        const QByteArray title = "edGrpTitle" + QByteArray::number(g + 1);
        const QByteArray count = "edListNum" + QByteArray::number(g + 1);
        QLineEdit* name = MakeControl<QLineEdit>(this, title.constData(), {8, top, 210, 22});
        name->setReadOnly(true);
        name->setMaxLength(60);
        QPalette p = name->palette();
        p.setColor(QPalette::Base, face.color(QPalette::Button));  // button face: not for typing
        name->setPalette(p);
        name->setProperty("tag", kFirstGroupTag + g);
        name->setAcceptDrops(true);
        name->installEventFilter(this);
        edGrpTitle_[g] = name;
        edListNum_[g] = MakeControl<MPanel>(this, count.constData(), {222, top, 70, 22});
        edListNum_[g]->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    const int bottom = kFirstRowTop + kGroupCount * kRowHeight + 8;
    cbStayOnTop_ = MakeControl<QCheckBox>(this, "cbStayOnTop", {8, bottom + 3, 100, 20}, QStringLiteral("前面(&F)"));
    pbClose_ = MakeControl<QPushButton>(this, "pbClose", {212, bottom, 80, 26}, QStringLiteral("&Close"));
}

void TfmListMove::SetListEditor(TfmMidiOpen* editor) { editor_ = editor; }

void TfmListMove::SetPlayer(PlayerLink* player) {
    player_ = player;
    FormCreate();
}

// ---- Opening and closing ---------------------------------------------------------------------

void TfmListMove::FormCreate() {
    if (player_) PlaceAtSavedPosition(this, player_->ProgramFolder(), "ListPosX", "ListPosY");
}

void TfmListMove::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();  // not again when the desktop merely restores it
}

void TfmListMove::FormShow() { RefreshAll(); }

void TfmListMove::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

void TfmListMove::FormClose() {
    if (player_) SavePosition(this, player_->ProgramFolder(), "ListPosX", "ListPosY");
}

void TfmListMove::pbCloseClick() { close(); }

// ---- Stay in front ---------------------------------------------------------------------------

void TfmListMove::LoadFront() {
    if (player_) LoadStayInFront(this, editor_, cbStayOnTop_, player_->ProgramFolder(), "ListFront");
}

void TfmListMove::cbStayOnTopClick() {
    if (player_) StayInFrontClicked(this, editor_, cbStayOnTop_, player_->ProgramFolder(), "ListFront");
}

// ---- The groups ------------------------------------------------------------------------------

QListWidget* TfmListMove::EntryList() const {
    return editor_ ? editor_->findChild<QListWidget*>(QStringLiteral("lbEntryFile")) : nullptr;
}

void TfmListMove::RefreshAll() {
    if (player_)
        for (int g = 0; g < kGroupCount; ++g) {
            edGrpTitle_[g]->setText(Cp932ToQString(player_->Songs().groupNames[g]));
            edGrpTitle_[g]->setCursorPosition(0);  // a long name shows its start, not its end
        }
    RefreshCounts();
}

void TfmListMove::RefreshCounts() {
    if (!editor_) return;
    for (int g = 0; g < kGroupCount; ++g)
        edListNum_[g]->SetCaption2(QString::number(editor_->WorkingCopy().groups[g].Count()));
    RefreshEditedCount();
}

// The working copy learns of the edited group's changes only when the editor stores them: its
// entry list has the live count.
void TfmListMove::RefreshEditedCount() {
    const QListWidget* entries = EntryList();
    const int group = editor_ ? editor_->EditedGroup() : -1;
    if (entries && group >= 0 && group < kGroupCount) edListNum_[group]->SetCaption2(QString::number(entries->count()));
}

std::intptr_t TfmListMove::HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam&) {
    switch (msg) {
    case LinkMessage::UM_COPY_GROUP_NAMES: RefreshAll(); return 0;
    case LinkMessage::UM_GROUP_COUNTS:
        if (wParam != 0) RefreshCounts();
        RefreshEditedCount();
        return 0;
    case LinkMessage::UM_LOAD_FRONT: LoadFront(); return 0;
    default: return 0;
    }
}

// ---- Drag and drop ---------------------------------------------------------------------------

bool TfmListMove::edGrpTitleDragOver(QObject* source, QObject* target) const {
    const int group = GroupOf(target);
    return TagOf(source) == kEntryTag && group >= 0 && editor_ && group != editor_->EditedGroup();
}

void TfmListMove::edGrpTitleDragDrop(QObject* source, QObject* target) {
    if (!edGrpTitleDragOver(source, target)) return;
    const QListWidget* entries = EntryList();
    const int group = GroupOf(target);
    const int count = edListNum_[group]->Caption2().toInt();
    const int moving = entries ? static_cast<int>(entries->selectedItems().size()) : 0;
    if (count + moving >= kLimit) {
        ShowMessage(QStringLiteral("リストが999を超えようとしています。"), MessageIcon::Exclamation);
        return;
    }
    SendLinkMessage(editor_, LinkMessage::UM_MOVE_TO_GROUP, group);
    RefreshAll();
}

// The names take no text from a drop: a drop means a move, decided once the drag has ended.
bool TfmListMove::eventFilter(QObject* watched, QEvent* event) {
    if (GroupOf(watched) < 0) return QWidget::eventFilter(watched, event);
    return RouteDragEvent(
               event, this, [this, watched](QObject* source) { return edGrpTitleDragOver(source, watched); },
               [this, watched](QObject* source) { edGrpTitleDragDrop(source, watched); }) ||
           QWidget::eventFilter(watched, event);
}

}  // namespace kyro
