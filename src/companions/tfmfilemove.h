#pragma once
// TfmFileMove: the "File Move" window, a companion of the list editor for tidying song files on
// disk. Files dragged from the editor's source list onto this window's folder list move into that
// folder; dropped on the waste bin they go to the desktop trash. The editor then lists its folder
// again. The song list is not touched: an entry whose file went becomes a lost entry.

#include "platform/linkmessages.h"

#include <QWidget>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kyro {

class DriveComboBox;
class FolderTree;

class TfmFileMove : public QWidget, public LinkTarget {
    Q_OBJECT
public:
    explicit TfmFileMove(QWidget* owner = nullptr);

    // The list editor: its folder list "lvSourceDir" is the source folder, it is told to list that
    // folder again (UM_RELOAD_SOURCE), and it owns this window while it stays in front.
    void SetListEditor(QWidget* editorWindow, LinkTarget* editor);
    // Where KYRO32.INI is (DOS form, ending in "\"); reads the kept position (FormCreate).
    void SetProgramFolder(const std::string& dosFolder);

    // The handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    bool lvSourceDirDragOver(QObject* source) const;
    void lvSourceDirDragDrop(QObject* source);
    bool Image1DragOver(QObject* source) const;
    void Image1DragDrop(QObject* source);
    void cmbSourceDrvChange();
    void cbStayOnTopClick();

    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string SourceFolder() const;  // the editor's folder, ending in "\"; "" when unknown
    void LoadFront();                  // UM_LOAD_FRONT: the kept stay-in-front choice
    void AfterFileWork(QListWidget* sourceList);

    QWidget* editorWindow_ = nullptr;
    LinkTarget* editor_ = nullptr;
    std::string programFolder_;
    char fallbackDrive_ = 'z';       // the current drive when the window was last shown

    DriveComboBox* cmbSourceDrv_ = nullptr;
    FolderTree* lvSourceDir_ = nullptr;
    QLabel* Image1_ = nullptr;
    QPushButton* pbClose_ = nullptr;
    QCheckBox* cbStayOnTop_ = nullptr;
};

// The files the selected rows of the editor's source list name, from the last row to the first:
// a row "PACK.LZH->song.mid" names the archive PACK.LZH, which is taken once however many of its
// members are selected. CP932 bytes, as the rows carry them.
std::vector<std::string> SelectedSourceFiles(const QListWidget& sourceList);

}  // namespace kyro
