#include "app/conversioninput.h"

#include "library/settings.h"
#include "platform/cp932bytes.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/privatetempfolder.h"
#include "sequencer/songfile.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

namespace kyro {

namespace {

constexpr char kMemberSeparator[] = "->";

ScoreReadResult Failure(std::string text) {
    ScoreReadResult r;
    r.error = std::move(text);
    return r;
}

bool IsDosPath(const std::string& path) {
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// The command line is UTF-8, the program's DOS paths CP932; text that is no UTF-8 is taken to be
// CP932 already (a path copied from a list file).
std::string ToCp932(const std::string& text) { return Utf8ToCp932(text).value_or(text); }

// Where a conversion makes the folder it unpacks into: $TMPDIR, else /tmp.
std::string TemporaryFolder() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

ScoreReadResult ReadPlainSong(const std::string& path) {
    if (!IsDosPath(path)) return ReadSongScoreAt(path);
    const auto native = NativePath(ToCp932(path));
    if (!native) return Failure("ドライブが割り当てられていません");
    return ReadSongScoreAt(*native);
}

ScoreReadResult ReadArchivedSong(const std::string& archive, const std::string& member,
                                 const std::string& programFolder) {
    std::error_code ec;
    const auto dosArchive =
        IsDosPath(archive) ? std::optional(ToCp932(archive)) : DosPath(std::filesystem::absolute(archive, ec).string());
    if (!dosArchive) return Failure("アーカイブのパスを扱えません");
    if (!FileExists(*dosArchive)) return Failure("アーカイブが見つかりません");

    auto loaded = ArchiveLibrary::Load(ExecutableFolder(), programFolder);
    if (!loaded.library) {
        return Failure(loaded.status == ArchiveLibrary::Status::NotFound
                           ? std::string("アーカイブライブラリ ") + kArchiveLibraryFile + " が見つかりません"
                           : "アーカイブライブラリが古いか壊れています (" + loaded.failureName + ")");
    }
    const ArchiveLibrary& library = *loaded.library;
    library.UseActiveDriveMap();

    const PrivateTempFolder folder(TemporaryFolder());
    const auto dosFolder = folder.Native().empty() ? std::nullopt : DosPath(folder.Native());
    if (!dosFolder) return Failure("一時フォルダを作れません");
    std::string unpacked;
    const int status = ExtractArchiveMember(&library, *dosArchive + kMemberSeparator + ToCp932(member),
                                            WithTrailingBackslash(*dosFolder), unpacked);
    const auto native = NativePath(unpacked);
    if (status != kExtractOk || !native || !FileExists(unpacked)) return Failure("アーカイブから曲を取り出せません");
    return ReadSongScoreAt(*native);  // read whole before the folder goes
}

}  // namespace

ScoreReadResult ReadConversionInput(const std::string& in, const std::string& programFolder) {
    DriveMap drives = DriveMap::Default();
    drives.LoadOverrides(programFolder + "/" + kSettingsFileName);
    SetActiveDriveMap(std::move(drives));

    const std::size_t split = in.find(kMemberSeparator);
    ScoreReadResult read = split == std::string::npos
                               ? ReadPlainSong(in)
                               : ReadArchivedSong(in.substr(0, split), in.substr(split + 2), programFolder);
    if (!read.ok) return read;
    // The player refuses what it cannot time (a song too long); so does a conversion. The song's
    // end is its latest time, so the time map alone tells.
    ScoreReadResult timing;
    timing.ok = true;
    timing.score.timeBase = read.score.timeBase;
    timing.score.tempos = read.score.tempos;
    timing.score.endTick = read.score.endTick;
    SongReadResult playable = ToSong(std::move(timing));
    return playable.ok ? read : Failure(std::move(playable.error));
}

}  // namespace kyro
