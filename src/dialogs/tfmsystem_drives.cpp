// The Drives page of the System dialog: the folder each drive letter of the song list's DOS paths
// stands for, section [Drives] of KYRO32.INI. An old list names its songs on the drives of the
// machine it was made on; here they are pointed at where those files are now.
#include "dialogs/tfmsystem.h"

#include "editor/playerlink.h"
#include "library/settings.h"
#include "platform/drives.h"
#include "platform/profile.h"
#include "widgets/form.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include <algorithm>

namespace kyro {

namespace {

const char kDrivesSection[] = "Drives";
constexpr int kLetters = 26;

char LetterOfRow(int row) { return static_cast<char>('A' + row); }

}  // namespace

void TfmSystem::BuildDrivesPage(QWidget* page) {
    sgDrives_ = MakeControl<QTableWidget>(page, "sgDrives", {8, 8, 432, 318});
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
