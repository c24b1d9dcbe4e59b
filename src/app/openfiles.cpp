// Files handed to the program on its command line or by a second start: the first song that can
// be played is test-played, outside the list, as the list editor's test play does.
#include "app/tfmmid.h"

#include "platform/cp932bytes.h"
#include "platform/filesystem.h"
#include "songfiles/filekinds.h"

#include <QFileInfo>

namespace kyro {

namespace {

// The DOS path of a song file the player can play now, or nothing: documents, archives and
// files the drive map cannot name are passed over.
std::optional<std::string> PlayableSong(const std::string& nativePath, bool rcpPlayable) {
    const QFileInfo info(QString::fromStdString(nativePath));
    if (!info.isFile()) return std::nullopt;
    const std::optional<std::string> dos = DosPath(info.absoluteFilePath().toStdString());
    if (!dos) return std::nullopt;
    const FileKind kind = ClassifyFileName(FileNamePart(*dos), kPurposeSongs);
    if (kind != FileKind::Mid && kind != FileKind::Rcp) return std::nullopt;
    if (!IsPlayable(*dos, false, rcpPlayable)) return std::nullopt;
    return dos;
}

}  // namespace

void TfmMid::OpenFiles(const std::vector<std::string>& nativePaths) {
    if (busy_) return;  // a message is up: dropped, as a click would be
    for (const std::string& nativePath : nativePaths) {
        const std::optional<std::string> song = PlayableSong(nativePath, rcpPlayable_);
        if (!song) continue;
        // A countdown left running would start the list's song over the test play.
        if (state_ == PlayerState::Waiting || state_ == PlayerState::Resting) pbSTOPClick();
        StartTestPlay(*song, '0');
        return;
    }
}

}  // namespace kyro
