#include "companions/tfmsystem.h"

#include "dialogs/tfmtempfold.h"
#include "library/playerlink.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "songfiles/archivelibrary.h"
#include "widgets/form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

#include <algorithm>

namespace kyro {

namespace {

constexpr int kClientWidth = 472;
constexpr int kClientHeight = 448;
constexpr int kSecondsStep = 5;  // the auto start and the busy wait go by 5 seconds up to 60
constexpr int kSecondsChoices = 13;

enum ListModeIndex { kListRandom = 0, kListSemiRandom = 1, kListSemiRandomAll = 2, kListSequential = 3 };
constexpr int kGroupRandom = 0;

// The list mode chosen last, kept for the whole run: leaving "SEMI RANDOM ALL" (no group mode)
// brings the group mode back as "RANDOM".
int previousListMode = -1;

const QString kNotWritable =
    QStringLiteral("このディレクトリには書き込みができません。\n他のディレクトリを選択して下さい。");

struct WarningBox {
    const char* name;
    const char* caption;
    int bit;
};

// In the order of the bits; the first seven fill the left column.
constexpr WarningBox kWarningBoxes[] = {
    {"cbNotRcp", "RCPを演奏出来ない", kWarnNotRcp},
    {"cbNoLst", "演奏する曲が無い", kWarnNoList},
    {"cbErrLst", "不正なリストがある", kWarnErrList},
    {"cbNotSave", "リストが保存されていない", kWarnNotSaved},
    {"cbNoUnlha", "UNLHA32.DLLが無い", kWarnNoUnlha},
    {"cbNoGM", "GM.MIDが無い", kWarnNoGM},
    {"cbNo88MAP", "88MAP.MIDが無い", kWarnNo88Map},
    {"cbNo55MAP", "55MAP.MIDが無い", kWarnNo55Map},
    {"cbLzhFnd", "圧縮ﾌｧｲﾙに該当ﾌｧｲﾙを発見", kWarnLzhFound},
    {"cbLzhNoFnd", "圧縮ﾌｧｲﾙに該当ﾌｧｲﾙが無い", kWarnLzhNotFound},
    {"cbCantLzh", "圧縮ﾌｧｲﾙを検索できない", kWarnCantLzh},
    {"cbFileFnd", "該当ﾌｧｲﾙを発見", kWarnFileFound},
    {"cbFileNoFnd", "該当ﾌｧｲﾙが無い", kWarnFileNotFound},
    {"cbNo8PMAP", "88Pro.MIDが無い", kWarnNo8PMap},
};

// A radio group: a group box with one button per choice, the button's id its index.
QButtonGroup* MakeRadioGroup(QGroupBox* box, std::initializer_list<const char*> choices) {
    auto* buttons = new QButtonGroup(box);
    int id = 0;
    for (const char* choice : choices) {
        auto* button = new QRadioButton(QString::fromLatin1(choice), box);
        button->setGeometry(10, 20 + 22 * id, box->width() - 16, 20);
        buttons->addButton(button, id++);
    }
    return buttons;
}

QComboBox* MakeSecondsList(QWidget* page, const char* name, const QRect& geometry, const QString& zero) {
    auto* list = MakeControl<QComboBox>(page, name, geometry);
    list->addItem(zero);
    for (int i = 1; i < kSecondsChoices; ++i) list->addItem(QString::number(i * kSecondsStep));
    return list;
}

int SecondsIndex(int seconds) { return std::clamp(seconds / kSecondsStep, 0, kSecondsChoices - 1); }

}  // namespace

TfmSystem::TfmSystem(PlayerLink& player, MidiChoices choices, QWidget* owner)
    : QDialog(owner, Qt::Dialog), player_(player), choices_(std::move(choices)) {
    SetUpForm(this, "fmSystem", QStringLiteral("System"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());

    pcSystem_ = MakeControl<QTabWidget>(this, "pcSystem", {8, 8, 456, 398});
    auto* tsSystem = new QWidget;
    tsSystem->setObjectName(QStringLiteral("tsSystem"));
    auto* tsMidi = new QWidget;
    tsMidi->setObjectName(QStringLiteral("tsMidi"));
    pcSystem_->addTab(tsSystem, QStringLiteral("System"));
    pcSystem_->addTab(tsMidi, QStringLiteral("MIDI"));
    auto* tsDrives = new QWidget;
    tsDrives->setObjectName(QStringLiteral("tsDrives"));
    pcSystem_->addTab(tsDrives, QStringLiteral("ドライブ"));
    BuildSystemPage(tsSystem);
    BuildMidiPage(tsMidi);
    BuildDrivesPage(tsDrives);

    pbOK_ = MakeControl<QPushButton>(this, "pbOK", {268, 414, 94, 26}, QStringLiteral("&OK"));
    pbOK_->setDefault(true);
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {370, 414, 94, 26}, QStringLiteral("&Cancel"));
    connect(pbOK_, &QPushButton::clicked, this, &TfmSystem::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmSystem::pbCancelClick);

    FillSystemPage(player_.SettingsInForce());
    FillMidiPage();
    FillDrivesPage();

    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
}

QLabel* TfmSystem::MakeLabel(QWidget* page, const QRect& geometry, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, page);
    label->setGeometry(geometry);
    if (buddy) label->setBuddy(buddy);
    return label;
}

void TfmSystem::BuildSystemPage(QWidget* page) {
    MakeLabel(page, {8, 12, 140, 16}, QStringLiteral("UNLHA32.DLL Version"));
    edDllVer_ = MakeControl<QLabel>(page, "edDllVer", {152, 10, 56, 20});
    edDllVer_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    edDllVer_->setAlignment(Qt::AlignCenter);

    edTemp_ = MakeControl<QLineEdit>(page, "edTemp", {8, 58, 352, 22});
    MakeLabel(page, {8, 40, 200, 16}, QStringLiteral("&Temporary Folder"), edTemp_);
    pbLook_ = MakeControl<QPushButton>(page, "pbLook", {366, 56, 74, 26}, QStringLiteral("参照"));
    connect(pbLook_, &QPushButton::clicked, this, &TfmSystem::pbLookClick);

    gpListRnd_ = MakeControl<QGroupBox>(page, "gpListRnd", {8, 90, 156, 112}, QStringLiteral("&List Mode"));
    listButtons_ = MakeRadioGroup(gpListRnd_, {"RANDOM", "SEMI RANDOM", "SEMI RANDOM ALL", "SEQUENTIAL"});
    connect(listButtons_, &QButtonGroup::idClicked, this, &TfmSystem::gpListRndClick);
    gpGroupRnd_ = MakeControl<QGroupBox>(page, "gpGroupRnd", {172, 90, 140, 112}, QStringLiteral("&Group Mode"));
    groupButtons_ = MakeRadioGroup(gpGroupRnd_, {"RANDOM", "SEMI RANDOM", "SEQUENTIAL"});

    cmbAutoSt_ = MakeSecondsList(page, "cmbAutoSt", {322, 114, 118, 22}, QStringLiteral("なし"));
    MakeLabel(page, {322, 96, 118, 16}, QStringLiteral("&Auto Start"), cmbAutoSt_);
    cmbULBusy_ = MakeSecondsList(page, "cmbULBusy", {322, 168, 118, 22}, QStringLiteral("停止"));
    MakeLabel(page, {322, 150, 118, 16}, QStringLiteral("&Unlha32 is Busy"), cmbULBusy_);

    gbWarning_ = MakeControl<QGroupBox>(page, "gbWarning", {8, 210, 432, 158}, QStringLiteral("&Warning"));
    constexpr int kRows = 7;
    for (std::size_t i = 0; i < std::size(kWarningBoxes); ++i) {
        const WarningBox& w = kWarningBoxes[i];
        const int column = int(i) / kRows, row = int(i) % kRows;
        auto* box = MakeControl<QCheckBox>(gbWarning_, w.name, {10 + 214 * column, 20 + 19 * row, 208, 18},
                                           QString::fromUtf8(w.caption));
        warningBoxes_.emplace_back(box, w.bit);
    }
}

void TfmSystem::FillSystemPage(const Settings& s) {
    const ArchiveLibrary* library = player_.Archive();
    if (library && library->Functions().GetVersion) {
        const int v = library->Functions().GetVersion();
        edDllVer_->setText(QString::asprintf("%d.%02d", v / 100, v % 100));
    } else {
        edDllVer_->setText(QStringLiteral("?.??"));
    }

    if (QAbstractButton* button = listButtons_->button(s.listRandomType)) button->setChecked(true);
    gpListRndClick(s.listRandomType);
    // The stored group mode, where the list mode offers it.
    if (QAbstractButton* button = groupButtons_->button(s.groupRandomType); button && button->isEnabled())
        SetGroupMode(s.groupRandomType);
    cmbAutoSt_->setCurrentIndex(SecondsIndex(s.autoStart));
    cmbULBusy_->setCurrentIndex(SecondsIndex(s.unlhaBusy));

    for (const auto& [box, bit] : warningBoxes_) box->setChecked(s.warningMsg & bit);

    keptFolder_ = s.tempFolder;
    edTemp_->setText(Cp932ToQString(s.tempFolder));
}

int TfmSystem::ListMode() const { return listButtons_->checkedId(); }
int TfmSystem::GroupMode() const { return groupButtons_->checkedId(); }

void TfmSystem::SetGroupMode(int groupMode) {
    if (QAbstractButton* button = groupButtons_->button(groupMode)) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go.
    groupButtons_->setExclusive(false);
    for (QAbstractButton* button : groupButtons_->buttons()) button->setChecked(false);
    groupButtons_->setExclusive(true);
}

void TfmSystem::gpListRndClick(int listMode) {
    const auto buttons = groupButtons_->buttons();
    switch (listMode) {
    case kListRandom:
        for (QAbstractButton* button : buttons) button->setEnabled(groupButtons_->id(button) == kGroupRandom);
        SetGroupMode(kGroupRandom);
        break;
    case kListSemiRandomAll:
        for (QAbstractButton* button : buttons) button->setEnabled(false);
        SetGroupMode(-1);
        break;
    default:
        for (QAbstractButton* button : buttons) button->setEnabled(true);
        if (previousListMode == kListSemiRandomAll || GroupMode() < 0) SetGroupMode(kGroupRandom);
        break;
    }
    previousListMode = listMode;
}

void TfmSystem::pbLookClick() {
    TfmTempFold dialog(this);
    dialog.SetStartFolder(QStringToCp932(edTemp_->text()).value_or(keptFolder_));
    if (dialog.exec() != Accepted) return;
    keptFolder_ = dialog.ResultFolder();
    edTemp_->setText(Cp932ToQString(keptFolder_));
}

void TfmSystem::pbOKClick() {
    QString folderText = edTemp_->text();
    if (!folderText.endsWith(QLatin1Char('\\'))) folderText += QLatin1Char('\\');
    edTemp_->setText(folderText);
    const auto folder = QStringToCp932(folderText);
    if (!folder || !IsFolderWritable(*folder)) {
        ShowMessage(kNotWritable, MessageIcon::Exclamation);
        return;
    }
    MidiKeys midi;
    if (!ChosenMidiKeys(midi)) {
        pcSystem_->setCurrentIndex(1);
        ShowMessage(QStringLiteral("MIDI の設定に使えない文字があります。"), MessageIcon::Exclamation);
        return;
    }

    std::vector<std::string> drives;
    if (!ChosenDrives(drives)) {
        pcSystem_->setCurrentIndex(2);
        ShowMessage(QStringLiteral("ドライブのフォルダは / で始まる絶対パスで指定して下さい。"), MessageIcon::Exclamation);
        return;
    }

    Settings s = player_.SettingsInForce();
    s.groupRandomType = GroupMode();
    s.listRandomType = ListMode();
    s.unlhaBusy = cmbULBusy_->currentIndex() * kSecondsStep;
    s.autoStart = cmbAutoSt_->currentIndex() * kSecondsStep;
    s.warningMsg = 0;
    for (const auto& [box, bit] : warningBoxes_)
        if (box->isChecked()) s.warningMsg |= bit;
    s.tempFolder = *folder;

    WriteSystemSettings(player_.ProgramFolder(), s);
    WriteMidiKeys(midi);  // the player reads [MIDI] again when it opens the next song
    WriteDrives(drives);
    player_.ApplySettings(s);
    SendLinkMessage(&player_, LinkMessage::UM_LIST_CHANGED);
    accept();
}

void TfmSystem::pbCancelClick() { reject(); }

}  // namespace kyro
