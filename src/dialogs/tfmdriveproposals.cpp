#include "dialogs/tfmdriveproposals.h"

#include "widgets/form.h"

#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>

#include <algorithm>

namespace kyro {

namespace {

constexpr int kClientWidth = 600;
constexpr int kClientHeight = 272;

QString Count(std::size_t n) { return QLocale(QLocale::English).toString(static_cast<qulonglong>(n)); }

// What the numbers are, and which letters are left to the lost-file check.
QString Note(const std::vector<DriveProposal>& proposals, const std::vector<char>& unplaced) {
    QStringList lines;
    if (std::any_of(proposals.begin(), proposals.end(), [](const DriveProposal& p) { return p.sampled < p.songs; }))
        lines << QStringLiteral("曲の数は、一部の曲を調べて見積もった数です。");
    if (!unplaced.empty())
        lines << QStringLiteral("%1 の曲をまとめて持つフォルダはありません。迷子ファイルの調査で探して下さい。")
                     .arg(LetterList(unplaced));
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

TfmDriveProposals::TfmDriveProposals(std::vector<DriveProposal> proposals, const std::vector<char>& unplaced,
                                     QWidget* owner)
    : QDialog(owner, Qt::Dialog), proposals_(std::move(proposals)) {
    SetUpForm(this, "fmDriveProposals", QStringLiteral("ドライブの検出"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(GothicFont());

    auto* heading = new QLabel(QStringLiteral("曲の見つかったフォルダ (チェックしたドライブに割り当てます):"), this);
    heading->setGeometry(8, 8, 584, 16);
    lbProposals_ = MakeControl<QListWidget>(this, "lbProposals", {8, 28, 584, 150});
    // A long folder wraps onto a second line rather than being cut.
    lbProposals_->setWordWrap(true);
    lbProposals_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbProposals_->setResizeMode(QListView::Adjust);
    for (const DriveProposal& proposal : proposals_) {
        auto* item = new QListWidgetItem(ProposalText(proposal), lbProposals_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    auto* note = MakeControl<QLabel>(this, "lbNote", {8, 184, 584, 46}, Note(proposals_, unplaced));
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    pbOK_ = MakeControl<QPushButton>(this, "pbOK", {398, 238, 94, 26}, QStringLiteral("&OK"));
    pbOK_->setDefault(true);
    pbCancel_ = MakeControl<QPushButton>(this, "pbCancel", {498, 238, 94, 26}, QStringLiteral("&Cancel"));
    connect(pbOK_, &QPushButton::clicked, this, &TfmDriveProposals::pbOKClick);
    connect(pbCancel_, &QPushButton::clicked, this, &TfmDriveProposals::pbCancelClick);
}

QString LetterList(const std::vector<char>& letters) {
    QStringList shown;
    for (char letter : letters) shown << QStringLiteral("%1:").arg(QChar::fromLatin1(letter));
    return shown.join(QLatin1Char(' '));
}

QString TfmDriveProposals::ProposalText(const DriveProposal& proposal) {
    return QStringLiteral("%1: → %2: %3 / %4 曲")
        .arg(QChar::fromLatin1(proposal.letter), QString::fromStdString(proposal.folder), Count(proposal.FoundInList()),
             Count(proposal.songs));
}

std::vector<DriveProposal> TfmDriveProposals::Chosen() const {
    std::vector<DriveProposal> chosen;
    for (int row = 0; row < lbProposals_->count(); ++row)
        if (lbProposals_->item(row)->checkState() == Qt::Checked) chosen.push_back(proposals_[row]);
    return chosen;
}

void TfmDriveProposals::pbOKClick() { accept(); }

void TfmDriveProposals::pbCancelClick() { reject(); }

}  // namespace kyro
