// playing_memory_bench: the resident memory of the player while it plays the demo's songs through
// FluidSynth with the default SoundFont set.
//
// The real program runs on a copy of the demo program folder made in a fresh folder under /tmp
// (removed at the end), with the four reset files from beside the executable. Its KYRO32.INI plays
// the list once through, in order, without being asked (ListRandomType=3, AutoStart=1), on the
// list's drive D: = the copy. It plays through the wav output, twenty times faster than real time
// ([MIDI] Output=wav, ClockScale=20): the wav output renders with the same FluidSynth and the same
// SoundFont set as the live synthesizer (MakeFluidSynth), and needs no sound card, which build
// machines and containers lack; the live output adds its audio driver's buffers and thread to
// this. No SoundFont= is written, so the default set is the one measured.
//
// The songs' total length is known before: each song of the list is converted with the real
// program's --to-midi and read back, and each reset file played before a song is read, so the
// play has gone through the list once when the recording holds that much sound. Meanwhile
// /proc/PID/status is read every 20 ms; at the end the kernel's peak (VmHWM) is the figure. The
// program is then killed. The last line gives the peak in MiB, rounded up.
//
// Usage: playing_memory_bench [kyrotune executable]
#include "library/listfiles.h"
#include "library/settings.h"
#include "library/songlist.h"
#include "sequencer/songfile.h"
#include "sequencer/soundfontset.h"

#include "processes.h"
#include "scratchfolder.h"

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr double kClockScale = 20;
constexpr double kBytesPerSecond = 44100 * 4;  // the wav output: 16-bit stereo at 44100 Hz
constexpr int kWavHeaderBytes = 44;

// The reset file the player plays before a song of each map code (the list's digit).
const char* ResetFileOfMap(char map) {
    switch (map) {
    case '1': return "88MAP.MID";
    case '2': return "55MAP.MID";
    case '3': return "GM.MID";
    case '4': return "88Pro.MID";
    default: return nullptr;
    }
}

// The song's length in seconds; nullopt after saying why it could not be read.
std::optional<double> SongSeconds(const std::string& nativePath) {
    kyro::SongReadResult read = kyro::ToSong(kyro::ReadSongScoreAt(nativePath));
    if (!read.ok) {
        std::fprintf(stderr, "cannot read %s: %s\n", nativePath.c_str(), read.error.c_str());
        return std::nullopt;
    }
    return read.song.lengthUs / 1e6;
}

// The demo copied in, told to play its list once in order through the wav output.
bool MakeProgramFolder(const std::string& folder, const std::string& executableFolder) {
    std::error_code ec;
    fs::copy(KYRO_DEMO_DIR, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    for (const char* reset : {"GM.MID", "55MAP.MID", "88MAP.MID", "88Pro.MID"})
        if (!ec) fs::copy_file(executableFolder + "/" + reset, folder + "/" + reset, ec);
    if (ec) {
        std::fprintf(stderr, "cannot copy the demo and the reset files: %s\n", ec.message().c_str());
        return false;
    }
    const std::string ini = folder + "/" + kyro::kSettingsFileName;
    std::string settings;
    {
        std::ifstream in(ini, std::ios::binary);
        settings.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const std::pair<const char*, const char*> changes[] = {{"ListRandomType=1", "ListRandomType=3"},
                                                           {"AutoStart=5", "AutoStart=1"}};
    for (const auto& [from, to] : changes) {
        const auto at = settings.find(from);
        if (at == std::string::npos) {
            std::fprintf(stderr, "the demo's KYRO32.INI has no %s\n", from);
            return false;
        }
        settings.replace(at, std::string(from).size(), to);
    }
    settings += "[Drives]\r\nD=" + folder + "\r\n[MIDI]\r\nOutput=wav\r\nWavFile=" + folder +
                "/played.wav\r\nClockScale=" + std::to_string(int(kClockScale)) + "\r\n";
    std::ofstream(ini, std::ios::binary | std::ios::trunc) << settings;
    return true;
}

// The seconds of sound playing the list once records: every song, with the reset file before it.
std::optional<double> ListSeconds(const kyro::bench::ScratchFolder& folder, const std::string& kyrotune, int& songs) {
    kyro::SongList list;
    kyro::LoadSongList(folder.dos, 0, list);
    double seconds = 0;
    songs = 0;
    const std::string converted = folder.native + "/length.mid";
    for (const auto& group : list.groups) {
        for (int k = 0; k < group.Count(); ++k) {
            const std::vector<std::string> convert = {kyrotune, "--to-midi", group.Path(k), converted, "--folder",
                                                      folder.native};
            if (!kyro::bench::RunQuietly(convert)) {
                std::fprintf(stderr, "kyrotune --to-midi failed on %s\n", group.Path(k).c_str());
                return std::nullopt;
            }
            const auto song = SongSeconds(converted);
            const char* reset = ResetFileOfMap(group.Map(k));
            const auto before = reset ? SongSeconds(folder.native + "/" + reset) : std::optional<double>(0);
            if (!song || !before) return std::nullopt;
            seconds += *song + *before;
            ++songs;
        }
    }
    if (songs == 0) {
        std::fprintf(stderr, "the demo's song list could not be read\n");
        return std::nullopt;
    }
    return seconds;
}

// A figure of /proc/PID/status in KiB ("VmHWM", "VmRSS"); 0 when it cannot be read.
long StatusKiB(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
    return 0;
}

// True once the program has loaded its output module (the first song's open).
bool OutputModuleLoaded(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    for (std::string line; std::getline(in, line);)
        if (line.find("libkyrotune-outputs") != std::string::npos) return true;
    return false;
}

double SecondsRecorded(const std::string& partFile) {
    std::error_code ec;
    const auto bytes = fs::file_size(partFile, ec);
    return ec || bytes < kWavHeaderBytes ? 0 : (bytes - kWavHeaderBytes) / kBytesPerSecond;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kyrotune = argc > 1 ? argv[1] : KYRO_EXECUTABLE;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);  // no display needed

    const kyro::bench::ScratchFolder scratch("kyro-playing-memory-bench");
    if (!scratch.Made() || !MakeProgramFolder(scratch.native, fs::path(kyrotune).parent_path().string())) return 1;
    int songs = 0;
    const std::optional<double> listSeconds = ListSeconds(scratch, kyrotune, songs);
    if (!listSeconds) return 1;

    const pid_t pid = kyro::bench::StartQuietly({kyrotune, "--folder", scratch.native});
    if (pid <= 0) {
        std::fprintf(stderr, "cannot start %s\n", kyrotune.c_str());
        return 1;
    }
    const std::string partFile = scratch.native + "/played.wav.part";
    const auto start = std::chrono::steady_clock::now();
    const auto limit = start + std::chrono::duration<double>(3 * *listSeconds / kClockScale) + 60s;
    long idleKiB = 0, peakRssKiB = 0;
    bool ended = false, outputLoaded = false;
    while (SecondsRecorded(partFile) < *listSeconds) {
        if (!kyro::bench::StillRunning(pid) || std::chrono::steady_clock::now() > limit) {
            ended = true;
            break;
        }
        const long rss = StatusKiB(pid, "VmRSS");
        if (!outputLoaded && !(outputLoaded = OutputModuleLoaded(pid))) idleKiB = rss;
        peakRssKiB = std::max(peakRssKiB, rss);
        std::this_thread::sleep_for(20ms);
    }
    const double wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double recorded = SecondsRecorded(partFile);
    const long peakKiB = StatusKiB(pid, "VmHWM");  // the kernel's peak over the whole run
    kyro::bench::KillAndReap(pid);
    if (ended) {
        std::fprintf(stderr, "kyrotune %s after recording %.1f of %.1f s\n",
                     std::chrono::steady_clock::now() > limit ? "was too slow" : "ended", recorded, *listSeconds);
        return 1;
    }

    std::string set;
    for (const auto& file : kyro::ChooseSoundFonts("").files)
        set += (set.empty() ? "" : " + ") + fs::path(file).filename().string();
    std::printf("the demo's %d songs (%.0f s of sound with their reset files) at ClockScale=%.0f in %.1f s,\n"
                "through %s:\n",
                songs, *listSeconds, kClockScale, wallSeconds, set.empty() ? "no SoundFont" : set.c_str());
    std::printf("  idle, before the output module was loaded  VmRSS %6.1f MiB\n", idleKiB / 1024.0);
    std::printf("  while playing  peak VmRSS %6.1f MiB (read every 20 ms), VmHWM %6.1f MiB\n", peakRssKiB / 1024.0,
                peakKiB / 1024.0);
    std::printf("playing memory %.0f MiB\n", std::ceil(peakKiB / 1024.0));
    return 0;
}
