// idle_memory_bench: the resident memory of the idle player against an empty Qt 6 window
// (empty_qt_window), both started as processes on the same Qt platform.
//
// The player runs on a program folder made at start in a fresh folder under /tmp (removed at the
// end), as a user with a big collection has it: a full song list of 8,991 entries (9 groups of
// 999 with their titles, written with the program's own list writer), the four reset files from
// beside the executable, and a KYRO32.INI that opens no sound output ([MIDI] Output=null; the
// player opens it only for a song anyway), starts nothing by itself (AutoStart=0) and shows no
// message at start (WarningMsg=0). The songs are there, as a user's are: D: is mapped to a folder
// holding every loose song (MIDI and RCP files, written with the tests' RCP writer) and every
// archive (LZH files of ten RCP members, written with the tests' LZH writer), so that whatever
// start-up looks at, it finds.
//
// A side's round starts its program, waits until its memory has settled (Rss steady within
// 64 KiB for a second, after at least three seconds; twenty at most), reads /proc/PID/smaps_rollup
// and kills the program. SIGKILL, so that the player writes nothing on its way out and every round
// starts on the same folder. The sides alternate round by round (interleaved.h); the figure is
// the median of the rounds' Rss ratios (player / empty window), printed with their spread. The
// last line gives it.
//
// Usage: idle_memory_bench [--platform offscreen|xcb] [kyrotune executable] [empty_qt_window executable]
//        (offscreen by default, so that it runs without a display; xcb needs DISPLAY)
#include "library/listfiles.h"
#include "library/settings.h"
#include "library/songlist.h"
#include "platform/filesystem.h"

#include "lzhwriter.h"
#include "rcpwriter.h"

#include "interleaved.h"
#include "processes.h"
#include "residentmemory.h"
#include "scratchfolder.h"

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kRounds = 5;
constexpr auto kAtLeast = 3s;
constexpr auto kStableFor = 1s;
constexpr auto kLimit = 20s;

// Group names and settings of a user who sorted a big collection by kind of music.
const char kSettings[] =
    "[KYRO32]\r\n"
    "ListRandomType=0\r\n"
    "GroupRandomType=0\r\n"
    "AutoStart=0\r\n"
    "WarningMsg=0\r\n"
    "GroupSel=511\r\n"
    "Group1=Game\r\nGroup2=Anime\r\nGroup3=Pops\r\nGroup4=Rock\r\nGroup5=Classic\r\n"
    "Group6=Jazz\r\nGroup7=Fusion\r\nGroup8=Original\r\nGroup9=Other\r\n"
    "[MIDI]\r\n"
    "Output=null\r\n";
// Paths and titles as long as a real collection's: a third of the songs are archive members, the
// titles mix Japanese (CP932) and ASCII as the songs' own headers do.
kyro::SongEntry MakeEntry(int group, int slot) {
    const int number = group * kyro::kGroupCapacity + slot;
    char path[160];
    char title[160];
    if (slot % 3 == 2) {
        std::snprintf(path, sizeof path, "D:\\MIDI\\ARCHIVES\\GROUP%d\\PACK%03d.LZH->SONG%02d.RCP", group + 1,
                      slot / 10, slot % 10);
    } else {
        std::snprintf(path, sizeof path, "D:\\MIDI\\GROUP%d\\COMPOSER%02d\\ALBUM%02d\\TRACK%04d.%s", group + 1,
                      slot % 37, slot % 11, number, slot % 3 ? "RCP" : "MID");
    }
    // "第N曲 " (CP932) then an English title.
    std::snprintf(title, sizeof title, "\x91\xe6%d\x8b\xc8 Song number %d of the collection, part %d", slot + 1,
                  number + 1, slot % 7 + 1);
    return {path, title, static_cast<char>('0' + number % 5)};
}

// One short song of each kind, for every file of the collection.
std::string SongBytes(bool rcp) {
    if (!rcp) return std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0", 26);
    kyro::test::RcpSong song;
    song.title = "Song";
    kyro::test::RcpTrack track;
    track.records = {kyro::test::Note(60, 48, 40, 100), kyro::test::MeasureEnd()};
    song.tracks.push_back(track);
    const std::vector<std::uint8_t> bytes = kyro::test::WriteRcp(song);
    return std::string(bytes.begin(), bytes.end());
}

// The songs the list names, under `disk` (drive D:): loose files, and archives of their members.
bool WriteCollection(const kyro::SongList& songs, const std::string& disk) {
    const std::string mid = SongBytes(false), rcp = SongBytes(true);
    std::map<std::string, std::vector<kyro::test::LzhMember>> archives;
    for (const auto& group : songs.groups) {
        for (int k = 0; k < group.Count(); ++k) {
            std::string path = group.Path(k).substr(3);  // after "D:\"
            for (char& c : path) c = c == '\\' ? '/' : c;
            const auto arrow = path.find("->");
            if (arrow != std::string::npos) {
                archives[disk + "/" + path.substr(0, arrow)].push_back({path.substr(arrow + 2), "", rcp, 1});
                continue;
            }
            std::filesystem::create_directories(std::filesystem::path(disk + "/" + path).parent_path());
            std::ofstream(disk + "/" + path, std::ios::binary) << (path.ends_with(".MID") ? mid : rcp);
        }
    }
    for (const auto& [archive, members] : archives) {
        std::filesystem::create_directories(std::filesystem::path(archive).parent_path());
        if (!kyro::test::WriteLzh(archive, members)) return false;
    }
    return true;
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
}

// The program folder described at the top; false after saying what failed.
bool MakeProgramFolder(const std::string& folder, const std::string& executableFolder) {
    std::ofstream(folder + "/" + kyro::kSettingsFileName, std::ios::binary)
        << kSettings << "[Drives]\r\nD=" << folder << "/disk\r\n";
    for (const char* reset : {"GM.MID", "55MAP.MID", "88MAP.MID", "88Pro.MID"}) {
        if (!CopyFile(executableFolder + "/" + reset, folder + "/" + reset)) {
            std::fprintf(stderr, "%s not found beside the executable in %s\n", reset, executableFolder.c_str());
            return false;
        }
    }
    kyro::SongList songs;
    for (int g = 0; g < kyro::kGroupCount; ++g)
        for (int k = 0; k < kyro::kGroupCapacity; ++k) songs.groups[g].Append(MakeEntry(g, k));
    if (!WriteCollection(songs, folder + "/disk")) {
        std::fprintf(stderr, "cannot write the collection into %s/disk\n", folder.c_str());
        return false;
    }
    const std::optional<std::string> dos = kyro::DosPath(folder);
    if (!dos || !kyro::SaveSongList(kyro::WithTrailingBackslash(*dos), songs)) {
        std::fprintf(stderr, "cannot write the song list into %s\n", folder.c_str());
        return false;
    }
    return true;
}

// One side's round: the program started, its settled memory read, the program killed.
struct Side {
    explicit Side(std::vector<std::string> commandLine) : command(std::move(commandLine)) {}

    std::vector<std::string> command;
    std::vector<kyro::bench::ResidentMemory> readings;
    int unsettled = 0;
    bool failed = false;

    double Round() {
        const pid_t pid = kyro::bench::StartQuietly(command);
        if (pid <= 0) {
            failed = true;
            return 1;
        }
        const auto settled = kyro::bench::WaitForSettledMemory(pid, kAtLeast, kStableFor, kLimit);
        kyro::bench::KillAndReap(pid);
        if (!settled) {
            failed = true;
            return 1;
        }
        unsettled += !settled->settled;
        readings.push_back(settled->memory);
        return static_cast<double>(settled->memory.rssKiB);
    }

    double MedianMiB(long kyro::bench::ResidentMemory::*figure) const {
        std::vector<double> values;
        for (const auto& r : readings) values.push_back(static_cast<double>(r.*figure) / 1024);
        return kyro::bench::Median(values);
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string platform = "offscreen";
    std::vector<std::string> executables;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--platform") == 0 && i + 1 < argc) {
            platform = argv[++i];
        } else {
            executables.push_back(argv[i]);
        }
    }
    const std::string kyrotune = executables.size() > 0 ? executables[0] : KYRO_EXECUTABLE;
    const std::string emptyWindow = executables.size() > 1 ? executables[1] : KYRO_EMPTY_WINDOW_EXECUTABLE;
    if (platform == "xcb" && !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "--platform xcb needs DISPLAY\n");
        return 1;
    }
    // Both children inherit it: the same platform plug-in for both sides.
    ::setenv("QT_QPA_PLATFORM", platform.c_str(), 1);

    const kyro::bench::ScratchFolder scratch("kyro-idle-memory-bench");
    if (scratch.native.empty() ||
        !MakeProgramFolder(scratch.native, std::filesystem::path(kyrotune).parent_path().string())) {
        std::fprintf(stderr, "cannot make the program folder under /tmp\n");
        return 1;
    }

    Side player({kyrotune, "--folder", scratch.native});
    Side empty({emptyWindow});
    const kyro::bench::Comparison c = kyro::bench::CompareFigures(
        kRounds, [&] { return player.Round(); }, [&] { return empty.Round(); });
    if (player.failed || empty.failed) {
        std::fprintf(stderr, "a program ended before its memory was read: kyrotune %s, empty window %s\n",
                     player.failed ? "ended" : "ran", empty.failed ? "ended" : "ran");
        return 1;
    }

    using Memory = kyro::bench::ResidentMemory;
    std::printf("idle resident memory on QT_QPA_PLATFORM=%s (median of %d interleaved rounds):\n", platform.c_str(),
                kRounds);
    std::printf("  kyrotune, %d songs listed  Rss %6.1f MiB  Pss %6.1f MiB  anonymous %6.1f MiB\n", kyro::kSlotCount,
                player.MedianMiB(&Memory::rssKiB), player.MedianMiB(&Memory::pssKiB),
                player.MedianMiB(&Memory::anonKiB));
    std::printf("  empty Qt 6 window          Rss %6.1f MiB  Pss %6.1f MiB  anonymous %6.1f MiB\n",
                empty.MedianMiB(&Memory::rssKiB), empty.MedianMiB(&Memory::pssKiB),
                empty.MedianMiB(&Memory::anonKiB));
    if (player.unsettled || empty.unsettled)
        std::printf("  not settled within %lld s, read at the limit: kyrotune %d, empty window %d rounds\n",
                    static_cast<long long>(kLimit.count()), player.unsettled, empty.unsettled);
    std::printf("ratio spread %.2f..%.2f\n", c.lowest, c.highest);
    std::printf("idle memory ratio %.2f\n", c.ratio);
    return 0;
}
