#include "widgets/drivefolder.h"

#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"

#include <QAbstractItemView>
#include <QStyle>
#include <QStylePainter>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <vector>

namespace kyro {

namespace {

// Each folder item keeps its DOS path (CP932 bytes), so that activating it needs no conversion
// back from the text shown.
constexpr int kDosPathRole = Qt::UserRole;

char UpperDrive(char letter) { return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter; }
char LowerDrive(char letter) { return letter >= 'A' && letter <= 'Z' ? static_cast<char>(letter - 'A' + 'a') : letter; }

std::string RootOf(char letter) { return std::string{UpperDrive(letter), ':', '\\'}; }

// The folder names of a DOS folder after "X:". A 0x5C that is the second byte of a two-byte
// character ("ソ" is 83 5C) belongs to the name. Nothing for "." or "..", which would lead out
// of the folder tree shown.
std::optional<std::vector<std::string>> FolderNames(std::string_view rest) {
    std::vector<std::string> names;
    std::string current;
    auto flush = [&] {
        if (!current.empty()) names.push_back(std::move(current));
        current.clear();
    };
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto b = static_cast<unsigned char>(rest[i]);
        if (IsCp932LeadByte(b) && i + 1 < rest.size()) {
            current += rest.substr(i++, 2);
        } else if (b == '\\') {
            flush();
        } else {
            current.push_back(static_cast<char>(b));
        }
    }
    flush();
    for (const auto& name : names)
        if (name == "." || name == "..") return std::nullopt;
    return names;
}

QTreeWidgetItem* Describe(QTreeWidgetItem* item, const std::string& name, const std::string& dosPath,
                          const QIcon& icon) {
    item->setText(0, Cp932ToQString(name));
    item->setData(0, kDosPathRole, QByteArray::fromStdString(dosPath));
    item->setIcon(0, icon);
    return item;
}

}  // namespace

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, [this] { setToolTip(currentText()); });
    Refill();
    // `activated` comes only from the user; SetDrive and Refill change the index without it.
    connect(this, &QComboBox::activated, this, [this](int index) {
        const char letter = static_cast<char>(itemData(index).toInt());
        if (letter) emit driveChosen(letter);
    });
}

QRect DriveComboBox::TextRect() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
}

QString DriveComboBox::ShownText() const {
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, TextRect().width());
}

void DriveComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = ShownText();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void DriveComboBox::showPopup() {
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    view()->setMinimumWidth(std::max(width(), view()->sizeHintForColumn(0) + 2 * view()->frameWidth() + scrollBar));
    QComboBox::showPopup();
}

void DriveComboBox::Refill() {
    const char chosen = Drive();
    clear();
    for (const auto& [letter, folder] : ActiveDriveMap().Letters())
        addItem(QStringLiteral("%1: [%2]").arg(QChar(LowerDrive(letter)), QString::fromStdString(folder)),
                static_cast<int>(letter));
    if (chosen) SetDrive(chosen);
}

char DriveComboBox::Drive() const { return currentIndex() < 0 ? '\0' : static_cast<char>(currentData().toInt()); }

void DriveComboBox::SetDrive(char letter) {
    const int index = findData(static_cast<int>(UpperDrive(letter)));
    if (index >= 0) setCurrentIndex(index);
}

FolderTree::FolderTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);  // a directory list: the indentation shows the nesting
    setItemsExpandable(false);
    setIndentation(12);
    connect(this, &QTreeWidget::itemActivated, this, &FolderTree::OpenItem);
}

// A folder that cannot be read is refused aloud, and the highlight goes back to the folder whose
// contents are shown.
void FolderTree::OpenItem(QTreeWidgetItem* item) {
    const std::string wanted = item->data(0, kDosPathRole).toByteArray().toStdString();
    if (SetFolder(wanted)) return;
    ShowMessage(QStringLiteral("ディレクトリを開けませんでした。\n") + Cp932ToQString(wanted), MessageIcon::Exclamation);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, kDosPathRole).toByteArray().toStdString() == folder_) {
            setCurrentItem(*it);
            break;
        }
    }
}

// Every level stays open, so there is nothing to fold: no expander marks.
void FolderTree::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {}

char FolderTree::Drive() const { return folder_.empty() ? '\0' : folder_[0]; }

void FolderTree::SetDrive(char letter) { SetFolder(RootOf(letter)); }

bool FolderTree::SetFolder(const std::string& dosFolder) {
    if (dosFolder.size() < 2 || dosFolder[1] != ':') return false;
    auto names = FolderNames(std::string_view(dosFolder).substr(2));
    if (!names) return false;
    std::string folder = RootOf(dosFolder[0]);
    for (std::size_t i = 0; i < names->size(); ++i) folder += (i ? "\\" : "") + (*names)[i];
    if (!ListFolder(folder)) return false;
    folder_ = std::move(folder);
    Fill();
    emit folderChanged();
    return true;
}

void FolderTree::Fill() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The ancestors from the root down to the current folder, each one level deeper.
    std::string path = RootOf(folder_[0]);
    QTreeWidgetItem* current = Describe(new QTreeWidgetItem(this), path, path, open);
    const auto names = FolderNames(std::string_view(folder_).substr(2));  // SetFolder checked them
    for (const std::string& name : names.value()) {
        path = WithTrailingBackslash(path) + name;
        current = Describe(new QTreeWidgetItem(current), name, path, open);
    }

    // The subfolders, one level below; links to folders (system) and hidden ones stay out.
    if (auto entries = ListFolder(folder_)) {
        for (const DirEntry& entry : *entries)
            if (entry.isFolder && !entry.hidden && !entry.system)
                Describe(new QTreeWidgetItem(current), entry.name, WithTrailingBackslash(folder_) + entry.name, closed);
    }
    expandAll();
    setCurrentItem(current);
    scrollToItem(current);
}

std::optional<char> CheckDrive(char chosen, char fallback) {
    const DriveMap& drives = ActiveDriveMap();
    if (drives.IsReady(chosen)) return UpperDrive(chosen);
    ShowMessage(QStringLiteral("ドライブ %1 の準備が出来ていません。").arg(QChar(LowerDrive(chosen))),
                MessageIcon::Exclamation);
    if (fallback && drives.IsReady(fallback)) return UpperDrive(fallback);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        if (drives.IsReady(letter)) return letter;
    ShowMessage(QStringLiteral("使用可能なドライブが見つかりません。"), MessageIcon::Stop);
    return std::nullopt;
}

}  // namespace kyro
