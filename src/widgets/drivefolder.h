#pragma once
// The drive box and the folder list that follows it, over the drive map: each mapped letter is a
// drive; a letter whose folder is missing or cannot be read is not ready. Used by the list
// editor's source side, the folder selection dialog and the file move window. Folders are DOS
// form (CP932); names that CP932 cannot hold, hidden and system folders are not shown.

#include <QComboBox>
#include <QTreeWidget>

#include <optional>
#include <string>

namespace kyro {

// The drive combo box: one item per mapped letter ("d: [/mnt/midi]"), in letter order.
class DriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    void Refill();               // the letters of the active drive map
    char Drive() const;          // upper-case letter of the chosen item; 0 when none
    void SetDrive(char letter);  // chooses it without emitting driveChosen

    // A mapped folder rarely fits the box: the box shows the chosen item shortened in the middle,
    // so that its letter and the end of its folder stay in sight, with the whole text as its tip,
    // and the list it drops is as wide as its widest item.
    QString ShownText() const;
    void showPopup() override;

signals:
    void driveChosen(char letter);  // the user chose a drive

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect TextRect() const;
};

// The folder list: the chosen folder's ancestors from the drive's root down, then its
// subfolders, as in a directory list box; activating an item makes it the current folder.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    // The current folder: "D:\" for a root, "D:\MIDI" (no trailing "\") below it.
    std::string Folder() const { return folder_; }
    char Drive() const;
    void SetDrive(char letter);                 // goes to the drive's root
    bool SetFolder(const std::string& dosFolder);  // false (and nothing changes) when it cannot be read
    // SetFolder takes either letter case and a trailing "\" or none, refuses "." and ".." (they
    // would leave the tree shown), and reads the folder again even when it is the current one.

signals:
    void folderChanged();  // the current folder changed, by the user or by SetDrive/SetFolder

private:
    void OpenItem(QTreeWidgetItem* item);  // the user activated a folder
    void Fill();
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    std::string folder_;
};

// The drive check of the drive boxes: `chosen` when it is ready. Otherwise "ドライブ %c の準備が
// 出来ていません。" (warning), then `fallback` when that is ready, else the first ready letter from
// A; nothing, after "使用可能なドライブが見つかりません。" (stop icon), when no drive is ready.
// Letters are taken in either case; the letter returned is upper case, the one in the message
// lower case, as the drive box shows it.
std::optional<char> CheckDrive(char chosen, char fallback);

}  // namespace kyro
