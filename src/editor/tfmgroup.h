#pragma once
// TfmGroup: the "Group" dialog. Names the nine groups, chooses which of them play, shows how many
// entries each holds in the list editor's working copy, and starts the lost-file check.

#include "library/songlist.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kyro {

class MPanel;
class PlayerLink;
class TfmMidiOpen;

class TfmGroup : public QDialog {
    Q_OBJECT
public:
    explicit TfmGroup(QWidget* owner = nullptr);

    void SetPlayer(PlayerLink* player) { player_ = player; }
    void SetEditor(TfmMidiOpen* editor) { editor_ = editor; }

    // Fills the dialog from the player's names and play targets and the editor's working copy:
    // at each showing, and again when a lost-file check ends.
    void Fill();

    // Handlers.
    void pbOKClick();
    void pbLinkClick();  // the editor's lost-file check, with this dialog disabled meanwhile

protected:
    void showEvent(QShowEvent* event) override;

private:
    PlayerLink* player_ = nullptr;
    TfmMidiOpen* editor_ = nullptr;

    std::array<QCheckBox*, kGroupCount> cbGroup_{};      // the group plays
    std::array<QLineEdit*, kGroupCount> edGrpTitle_{};   // its name
    std::array<MPanel*, kGroupCount> edListNum_{};       // its number of entries
    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
    QPushButton* pbLink_ = nullptr;
};

}  // namespace kyro
