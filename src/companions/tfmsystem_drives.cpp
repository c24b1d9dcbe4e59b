// The Drives page of the System dialog: the folder each drive letter of the song list's DOS paths
// stands for, section [Drives] of KYRO32.INI. An old list names its songs on the drives of the
// machine it was made on; here they are pointed at where those files are now.
#include "companions/tfmsystem.h"

#include "dialogs/tfmdriveproposals.h"
#include "library/playerlink.h"
#include "library/settings.h"
#include "platform/drivedetection.h"
#include "platform/drives.h"
#include "platform/messagebox.h"
#include "platform/profile.h"
#include "widgets/form.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace kyro {

namespace {

const char kDrivesSection[] = "Drives";
constexpr int kLetters = 26;

char LetterOfRow(int row) { return static_cast<char>('A' + row); }

// The wait cursor for the length of a search that keeps the window from answering.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

std::vector<std::string> SongPaths(const SongList& songs) {
    std::vector<std::string> paths;
    for (const SongGroup& group : songs.groups)
        for (int k = 0; k < group.Count(); ++k) paths.push_back(group.Path(k));
    return paths;
}

}  // namespace

void TfmSystem::BuildDrivesPage(QWidget* page) {
    sgDrives_ = MakeControl<QTableWidget>(page, "sgDrives", {8, 8, 432, 284});
    sgDrives_->setColumnCount(2);
    sgDrives_->setRowCount(kLetters);
    sgDrives_->setHorizontalHeaderLabels({QStringLiteral("ドライブ"), QStringLiteral("フォルダ")});
    sgDrives_->verticalHeader()->hide();
    sgDrives_->horizontalHeader()->setStretchLastSection(true);
    sgDrives_->setColumnWidth(0, 70);
    for (int row = 0; row < kLetters; ++row) {
        auto* letter = new QTableWidgetItem(QStringLiteral("%1:").arg(QChar::fromLatin1(LetterOfRow(row))));
        letter->setFlags(Qt::ItemIsEnabled);  // the letters themselves stay
        sgDrives_->setItem(row, 0, letter);
        sgDrives_->setItem(row, 1, new QTableWidgetItem);
    }
    pbDetectDrives_ = MakeControl<QPushButton>(page, "pbDetectDrives", {8, 298, 94, 26}, QStringLiteral("検出"));
    connect(pbDetectDrives_, &QPushButton::clicked, this, &TfmSystem::pbDetectDrivesClick);
    MakeLabel(page, {110, 298, 330, 26}, QStringLiteral("曲の見つからないドライブの今のフォルダを探します。"))
        ->setWordWrap(true);
    MakeLabel(page, {8, 334, 432, 32},
              QStringLiteral("フォルダは / で始まる絶対パスです。空欄のドライブは使いません\n"
                             "(C: はホームフォルダ、Z: は / のまま)。"));
}

void TfmSystem::FillDrivesPage() {
    for (int row = 0; row < kLetters; ++row) {
        const auto folder = ActiveDriveMap().NativeFolder(LetterOfRow(row));
        sgDrives_->item(row, 1)->setText(folder ? QString::fromStdString(*folder) : QString());
    }
}

bool TfmSystem::ChosenDrives(std::vector<std::string>& folders) const {
    folders.assign(kLetters, std::string());
    for (int row = 0; row < kLetters; ++row) {
        const QString text = sgDrives_->item(row, 1)->text().trimmed();
        if (!text.isEmpty() && !text.startsWith(QLatin1Char('/'))) {
            sgDrives_->setCurrentCell(row, 1);
            return false;
        }
        folders[row] = text.toStdString();
    }
    return true;
}

DriveMap TfmSystem::DrivesInTable() const {
    // As LoadOverrides reads what WriteDrives writes: an emptied row keeps the default.
    DriveMap drives = DriveMap::Default();
    for (int row = 0; row < kLetters; ++row)
        drives.Set(LetterOfRow(row), sgDrives_->item(row, 1)->text().trimmed().toStdString());
    return drives;
}

// Detection judges the list by the table as it stands, and only fills rows: nothing is written
// before OK.
void TfmSystem::pbDetectDrivesClick() {
    const DriveMap drives = DrivesInTable();
    DriveDetection detection;
    {
        const WaitCursor wait;
        const auto roots = detectionRoots_ ? detectionRoots_(drives) : DetectionRoots(drives);
        detection = DetectDrives(SongPaths(player_.Songs()), drives, roots);
    }
    if (detection.proposals.empty()) {
        ShowMessage(detection.unplaced.empty()
                        ? QStringLiteral("どのドライブの曲も、割り当てたフォルダにあります。")
                        : QStringLiteral("%1 の曲をまとめて持つフォルダは見つかりませんでした。\n迷子ファイルの調査で探して下さい。")
                              .arg(LetterList(detection.unplaced)),
                    MessageIcon::Information);
        return;
    }
    TfmDriveProposals proposals(std::move(detection.proposals), detection.unplaced, this);
    if (proposals.exec() != Accepted) return;
    for (const DriveProposal& chosen : proposals.Chosen()) {
        const int row = chosen.letter - 'A';
        sgDrives_->item(row, 1)->setText(QString::fromStdString(chosen.folder));
        sgDrives_->setCurrentCell(row, 1);
    }
}

// Only letters that differ from what the program assumes anyway are written, and a letter the
// file names is written even when emptied (an empty value maps nothing); then the paths of the
// song list are read through the new map at once.
void TfmSystem::WriteDrives(const std::vector<std::string>& folders) const {
    const std::string iniPath = SettingsFilePath(player_.ProgramFolder());
    Profile ini(iniPath);
    const DriveMap defaults = DriveMap::Default();
    const std::vector<std::string> named = ini.Keys(kDrivesSection);
    bool changed = false;
    for (int row = 0; row < kLetters; ++row) {
        const char letter = LetterOfRow(row);
        const std::string key(1, letter);
        const auto inForce = ActiveDriveMap().NativeFolder(letter);
        if (folders[row] == inForce.value_or("")) continue;
        const bool inFile = std::any_of(named.begin(), named.end(),
                                        [&](const std::string& k) { return k.size() == 1 && (k[0] & ~0x20) == letter; });
        if (!inFile && folders[row] == defaults.NativeFolder(letter).value_or("")) continue;
        ini.Write(kDrivesSection, key, folders[row]);
        changed = true;
    }
    if (!changed) return;
    ini.Save();
    DriveMap map = DriveMap::Default();
    map.LoadOverrides(iniPath);
    SetActiveDriveMap(std::move(map));
}

}  // namespace kyro
