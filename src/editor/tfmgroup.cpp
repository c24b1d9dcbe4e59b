#include "editor/tfmgroup.h"

#include "editor/tfmmidiopen.h"
#include "library/playerlink.h"
#include "library/settings.h"
#include "platform/cp932.h"
#include "platform/messagebox.h"
#include "widgets/form.h"
#include "widgets/mpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QValidator>

namespace kyro {

namespace {

constexpr int kNameBytes = 60;
constexpr int kRowTop = 26;
constexpr int kRowHeight = 26;

// A name holds at most 60 bytes of CP932, so the character that would pass them cannot be typed.
// Characters CP932 cannot hold count as two bytes here and are refused when the dialog stores.
class Cp932LengthValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        int bytes = 0;
        for (const QChar c : input) bytes += c.unicode() < 0x80 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F) ? 1 : 2;
        return bytes <= kNameBytes ? Acceptable : Invalid;
    }
};

std::string Numbered(const char* prefix, int i) { return prefix + std::to_string(i + 1); }

}  // namespace

TfmGroup::TfmGroup(QWidget* owner) : QDialog(owner, Qt::Dialog) {
    SetUpForm(this, "fmGroup", QStringLiteral("Group"));
    setFont(GothicFont());
    setFixedSize(470, kRowTop + kGroupCount * kRowHeight + 48);

    const std::pair<const char*, QRect> headings[] = {
        {"演奏対象", {8, 6, 80, 16}}, {"グループ名", {96, 6, 120, 16}}, {"登録数", {410, 6, 52, 16}}};
    for (const auto& [text, geometry] : headings) (new QLabel(QString::fromUtf8(text), this))->setGeometry(geometry);

    auto* validator = new Cp932LengthValidator(this);
    for (int i = 0; i < kGroupCount; ++i) {
        const int y = kRowTop + i * kRowHeight;
        cbGroup_[i] = MakeControl<QCheckBox>(this, Numbered("cbGroup", i).c_str(), {8, y, 84, 22},
                                             QString::fromStdString(Numbered("Group", i)));
        edGrpTitle_[i] = MakeControl<QLineEdit>(this, Numbered("edGrpTitle", i).c_str(), {96, y, 306, 22});
        edGrpTitle_[i]->setValidator(validator);
        edListNum_[i] = MakeControl<MPanel>(this, Numbered("edListNum", i).c_str(), {410, y, 52, 22});
        edListNum_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        edListNum_[i]->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edListNum_[i]->setContentsMargins(0, 0, 4, 0);
    }

    const int buttonsTop = kRowTop + kGroupCount * kRowHeight + 12;
    auto button = [this, buttonsTop](const char* name, const QString& caption, int x) {
        return MakeControl<QPushButton>(this, name, {x, buttonsTop, 90, 26}, caption);
    };
    pbOK_ = button("pbOK", QStringLiteral("&OK"), 170);
    pbCancel_ = button("pbCancel", QStringLiteral("&Cancel"), 270);
    pbLink_ = button("pbLink", QStringLiteral("迷子(&F)"), 372);
    pbOK_->setDefault(true);
    connect(pbOK_, &QPushButton::clicked, this, &TfmGroup::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(pbLink_, &QPushButton::clicked, this, &TfmGroup::pbLinkClick);
}

void TfmGroup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* screen = QApplication::primaryScreen()) move(screen->availableGeometry().center() - rect().center());
    Fill();
}

// The counts are those of the editor's working copy: what its list boxes hold unsaved is not
// among them yet.
void TfmGroup::Fill() {
    if (!player_) return;
    const int mask = player_->SettingsInForce().groupSel;
    for (int i = 0; i < kGroupCount; ++i) {
        cbGroup_[i]->setChecked((mask >> i) & 1);
        edGrpTitle_[i]->setText(Cp932ToQString(player_->Songs().groupNames[i]));
        const int count = editor_ ? editor_->WorkingCopy().groups[i].Count() : player_->Songs().groups[i].Count();
        edListNum_[i]->SetCaption2(QString::number(count));
    }
}

// The names take effect and are written with the play targets; a name CP932 cannot hold is
// refused, the dialog stays open, and nothing is stored.
void TfmGroup::pbOKClick() {
    std::array<std::string, kGroupCount> names;
    for (int i = 0; i < kGroupCount; ++i) {
        const auto name = QStringToCp932(edGrpTitle_[i]->text());
        if (!name) {
            ShowMessage(QStringLiteral("グループ名に使用できない文字があります。\n%1").arg(edGrpTitle_[i]->text()),
                        MessageIcon::Exclamation);
            edGrpTitle_[i]->setFocus();
            return;
        }
        names[i] = CutCp932(*name, kNameBytes);
    }
    int mask = 0;
    for (int i = 0; i < kGroupCount; ++i)
        if (cbGroup_[i]->isChecked()) mask |= 1 << i;
    player_->SetGroupNames(names);
    player_->SetGroupSel(mask);
    WriteGroupSettings(player_->ProgramFolder(), names, mask);  // says so when GroupSel cannot be written
    accept();
}

void TfmGroup::pbLinkClick() {
    if (editor_) editor_->CheckLostFiles(this);
}

}  // namespace kyro
