#pragma once
// TfmListMove: the "List Move" window, a companion of the list editor. It shows the nine groups
// with their names and numbers of entries; entries dragged from the editor's entry list (or from
// the title window, whose selection is the editor's) onto a group's name move there.

#include "platform/linkmessages.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kyro {

class MPanel;
class PlayerLink;
class TfmMidiOpen;

class TfmListMove : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmListMove(QWidget* owner = nullptr);

    // The editor: its working copy's counts, its edited group and entry list, and the target of
    // UM_MOVE_TO_GROUP; the owner while in front.
    void SetListEditor(TfmMidiOpen* editor);
    // The player window: the group names and the program folder. Reads the saved position.
    void SetPlayer(PlayerLink* player);

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void pbCloseClick();
    void cbStayOnTopClick();
    // A drag from a control with the entry list's tag over a group's name (`target`, tags 11 to
    // 19): accepted unless it is the edited group. A drop moves the selected entries there when
    // the group then holds at most 999.
    bool edGrpTitleDragOver(QObject* source, QObject* target) const;
    void edGrpTitleDragDrop(QObject* source, QObject* target);

    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void RefreshAll();            // names and every count
    void RefreshCounts();         // every count
    void RefreshEditedCount();    // the edited group's count from the entry list's rows
    void LoadFront();
    QListWidget* EntryList() const;

    TfmMidiOpen* editor_ = nullptr;
    PlayerLink* player_ = nullptr;

    QLabel* Label3_ = nullptr;
    QLabel* Label2_ = nullptr;
    std::array<QLineEdit*, 9> edGrpTitle_{};
    std::array<MPanel*, 9> edListNum_{};
    QPushButton* pbClose_ = nullptr;
    QCheckBox* cbStayOnTop_ = nullptr;
};

}  // namespace kyro
