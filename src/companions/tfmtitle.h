#pragma once
// TfmTitle: the "Title" window, a companion of the list editor. It shows the titles of the edited
// group, one row per entry, with the editor's selection; it switches the edited group, selects
// the untitled entries, reads titles out of the song files (Get Title) and searches the titles.
// Every row is a copy of the editor's title column, fetched through link messages.

#include "platform/linkmessages.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kyro {

class MListBox;
class MPanel;
class PlayerLink;
class TfmMidiOpen;
class TfmWait;

class TfmTitle : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmTitle(QWidget* owner = nullptr);

    // Writes a title that Get Title read into the editor's entry `index` (CP932).
    using TitleWriter = std::function<void(int index, const std::string& title)>;

    // The list editor: the target of the requests, the owner while in front, and where read
    // titles go. Inline, so that only the program that has the editor links its title writer.
    template <typename Editor = TfmMidiOpen>
    void SetListEditor(Editor* editor) {
        SetListEditor(editor, editor, [editor](int index, const std::string& title) { editor->SetEntryTitle(index, title); });
    }
    void SetListEditor(QWidget* editorWindow, LinkTarget* editor, TitleWriter writeTitle);
    // The player window: program folder (settings), archive library, busy flag, UnlhaBusy.
    // Reads the saved position and size (FormCreate).
    void SetPlayer(PlayerLink* player);
    // The temporary folder archived songs are unpacked into (DOS form, ends in "\"), asked at
    // each run: the system dialog may change it meanwhile.
    void SetTempFolderSource(std::function<std::string()> tempFolder) { tempFolderSource_ = std::move(tempFolder); }
    void SetWaitDialog(TfmWait* wait) { wait_ = wait; }

    // Handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void lbTitleClick();
    void cmbGroupNameChange();
    void pbCloseClick();
    void pbSelNewClick();
    void pbGetTitleClick();
    void pbSearchClick();
    void cbStayOnTopClick();

    bool GetTitleRunning() const { return running_; }

    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLayout();
    void ConnectHandlers();

    // Requests to the editor.
    std::intptr_t Request(LinkMessage msg, std::intptr_t wParam = 0, LParam lParam = {});
    void PullSelection();     // UM_SYNC_SELECTION 1: lbTitle takes the editor's selection
    void PushSelection();     // UM_SYNC_SELECTION 2: the editor takes lbTitle's
    void ReloadTitles();
    void UpdateExtent();
    void LoadFront();
    std::vector<std::string> Rows() const;  // CP932

    // Get Title, one row; false ends the run.
    enum class RowOutcome { Read, Failed, Skipped, Stop };
    void SetRunning(bool running);
    RowOutcome ReadRowTitle(int row);
    bool WaitForArchive();  // true: try again
    void ReportFailures();

    QWidget* editorWindow_ = nullptr;
    LinkTarget* editor_ = nullptr;
    TitleWriter writeTitle_;
    PlayerLink* player_ = nullptr;
    TfmWait* wait_ = nullptr;
    std::function<std::string()> tempFolderSource_;
    std::string tempFolder_;  // of the current run

    bool selectionMuted_ = false;   // lbTitle's selection is being set by the window or the editor
    bool running_ = false;          // a Get Title run
    bool cancelRequested_ = false;  // its Cancel was pressed
    std::vector<std::string> failures_;  // of the current run (UTF-8): reason and path of each entry whose title stayed

    MPanel* Panel1_ = nullptr;
    MListBox* lbTitle_ = nullptr;
    QPushButton* pbClose_ = nullptr;
    QPushButton* pbGetTitle_ = nullptr;
    QPushButton* pbSelNew_ = nullptr;
    QLineEdit* edSearch_ = nullptr;
    QPushButton* pbSearch_ = nullptr;
    QCheckBox* cbULCheck_ = nullptr;
    QCheckBox* cbStayOnTop_ = nullptr;
    QComboBox* cmbGroupName_ = nullptr;
};

}  // namespace kyro
