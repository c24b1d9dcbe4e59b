#include "app/tomidi.h"

#include "app/programfolder.h"
#include "library/settings.h"
#include "platform/cp932bytes.h"
#include "platform/drives.h"
#include "platform/filesystem.h"
#include "platform/privatetempfolder.h"
#include "sequencer/midiexport.h"
#include "sequencer/songfile.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <vector>

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

// Hands DOS paths from the archive library back to the drive map, as the player does.
int ResolveDosPath(const char* dosPath, char* out, size_t size) {
    auto native = ActiveDriveMap().ToNative(dosPath ? dosPath : "");
    if (!native || native->size() + 1 > size) return 0;
    std::memcpy(out, native->c_str(), native->size() + 1);
    return 1;
}

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
    if (library.Functions().SetPathResolver) library.Functions().SetPathResolver(&ResolveDosPath);

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

// Why a file could not be written, for the errno values a user can do something about.
std::string WriteFailureReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return " (書き込みが許可されていません)";
    case ENOENT:
    case ENOTDIR:
        return " (フォルダがありません)";
    case ENOSPC:
    case EDQUOT:
        return " (ディスクの空きが足りません)";
    default:
        return "";
    }
}

}  // namespace

int ConvertToMidi(const std::string& in, const std::string& out, const std::string& programFolder,
                  std::ostream& errors) {
    DriveMap drives = DriveMap::Default();
    drives.LoadOverrides(programFolder + "/" + kSettingsFileName);
    SetActiveDriveMap(std::move(drives));

    const std::size_t split = in.find(kMemberSeparator);
    ScoreReadResult read = split == std::string::npos
                               ? ReadPlainSong(in)
                               : ReadArchivedSong(in.substr(0, split), in.substr(split + 2), programFolder);
    if (read.ok) {
        // The player refuses what it cannot time (a song too long); so does the conversion. The
        // song's end is its latest time, so the time map alone tells.
        ScoreReadResult timing;
        timing.ok = true;
        timing.score.timeBase = read.score.timeBase;
        timing.score.tempos = read.score.tempos;
        timing.score.endTick = read.score.endTick;
        SongReadResult playable = ToSong(std::move(timing));
        if (!playable.ok) read = Failure(std::move(playable.error));
    }
    if (!read.ok) {
        errors << "曲を読めません: " << in << "\n" << read.error << "\n";
        return kToMidiCannotRead;
    }

    const std::vector<std::uint8_t> file = ExportStandardMidiFile(read.score);
    struct stat existing {};
    if (::stat(out.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        errors << "MIDI ファイルを書き込めません: " << out << " (ファイルではありません)\n";
        return kToMidiCannotWrite;
    }
    errno = 0;
    if (!WriteNativeFileAtomic(out, std::string(file.begin(), file.end()))) {
        errors << "MIDI ファイルを書き込めません: " << out << WriteFailureReason(errno) << "\n";
        return kToMidiCannotWrite;
    }
    return kToMidiOk;
}

bool AsksForMidiConversion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--to-midi") == 0) return true;
    return false;
}

int RunMidiConversion(int argc, char** argv, std::ostream& errors) {
    std::vector<std::string> files;
    std::optional<std::string> folder;
    bool wrong = false;
    for (int i = 1; i < argc && !wrong; ++i) {
        const std::string arg = argv[i];
        if (arg == "--to-midi" && i + 2 < argc) {
            files = {argv[i + 1], argv[i + 2]};
            i += 2;
        } else if (arg == "--folder" && i + 1 < argc) {
            folder = argv[++i];
        } else if (arg.starts_with("--folder=")) {
            folder = arg.substr(9);
        } else {
            wrong = true;
        }
    }
    if (wrong || files.empty()) {
        errors << "使い方: kyrotune --to-midi 曲 MIDIファイル [--folder プログラムフォルダ]\n";
        return kToMidiBadArguments;
    }
    const ProgramFolderChoice programFolder =
        ChooseProgramFolder(ExecutableFolder(), folder, DataFolderEnvironment::FromProcess());
    if (!programFolder.error.empty()) {
        errors << programFolder.error << "\n";
        return kToMidiBadArguments;
    }
    return ConvertToMidi(files[0], files[1], programFolder.folder, errors);
}

}  // namespace kyro
