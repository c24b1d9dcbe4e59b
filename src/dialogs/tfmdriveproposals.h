#pragma once
// TfmDriveProposals: the folders drive detection found, one checkable line per drive letter
// ("D: → /home/u/old-d: 8,412 / 8,500 曲"), every line checked at first. OK hands back the
// checked ones; the System dialog writes them into its drive table.

#include "platform/drivedetection.h"

#include <QDialog>

#include <vector>

class QListWidget;
class QPushButton;

namespace kyro {

class TfmDriveProposals : public QDialog {
    Q_OBJECT
public:
    // `unplaced`: letters whose songs are mostly missing but that no folder holds most of.
    TfmDriveProposals(std::vector<DriveProposal> proposals, const std::vector<char>& unplaced,
                      QWidget* owner = nullptr);

    std::vector<DriveProposal> Chosen() const;  // the checked proposals

    // "D: → /home/u/old-d: 8,412 / 8,500 曲": found, then the letter's songs in the list.
    static QString ProposalText(const DriveProposal& proposal);

    // The handlers.
    void pbOKClick();
    void pbCancelClick();

private:
    std::vector<DriveProposal> proposals_;
    QListWidget* lbProposals_ = nullptr;
    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
};

// "E: F:": the letters as the messages name them.
QString LetterList(const std::vector<char>& letters);

}  // namespace kyro
