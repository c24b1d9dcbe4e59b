#include "sequencer/midifile.h"

#include "sequencer/miditrack.h"
#include "sequencer/songfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kyro {

namespace {

using midi::TrackOutcome;
using midi::TrackReadResult;

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t Le32(const std::uint8_t* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}
bool IsTag(const std::uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

ScoreReadResult Failure(std::string text) {
    ScoreReadResult r;
    r.error = std::move(text);
    return r;
}

constexpr std::uint64_t kFarTick = std::uint64_t{1} << 60;
constexpr std::uint32_t kDefaultUsPerQuarter = 500000;  // 120 BPM, where a track states no tempo
const char kCutShort[] = "MIDI ファイルが途中で切れていて、演奏できるイベントがありません";
static_assert(kMaxMidiFileBytes == 16u * 1024 * 1024, "kSongFileTooLargeText states the limit");

// RIFF "RMID": "RIFF" <size LE> "RMID", then chunks <id> <size LE> <bytes, padded to even>; the
// Standard MIDI File is the "data" chunk. A data chunk cut short keeps the bytes present, so the
// file's own rules for damage at the end apply.
bool IsRmid(const std::uint8_t* data, std::size_t size) {
    return size >= 12 && IsTag(data, "RIFF") && IsTag(data + 8, "RMID");
}

bool FindRmidData(const std::uint8_t* data, std::size_t size, const std::uint8_t*& smf, std::size_t& smfSize) {
    std::size_t offset = 12;
    while (size - offset >= 8) {
        const std::uint32_t length = Le32(data + offset + 4);
        const std::size_t body = offset + 8;
        if (IsTag(data + offset, "data")) {
            smf = data + body;
            smfSize = std::min<std::size_t>(length, size - body);
            return true;
        }
        if (length >= size - body) return false;  // the wrapper ends before any data chunk
        offset = body + length + (length & 1);
        if (offset > size) return false;
    }
    return false;
}

struct TrackChunk {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool reachesFileEnd = false;  // nothing of the file follows it (it may have been cut short)
};

// The time base from the header's division word.
bool ParseDivision(std::uint16_t division, bool& smpte, int& fps, std::uint32_t& ticks) {
    if (division & 0x8000) {
        // SMPTE: the high byte is minus the frames per second (-24, -25, -29 for 29.97, -30),
        // the low byte the ticks per frame.
        smpte = true;
        fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        ticks = division & 0xFF;
        return (fps == 24 || fps == 25 || fps == 29 || fps == 30) && ticks > 0;
    }
    smpte = false;
    ticks = division;  // ticks per quarter note
    return ticks > 0;
}

ScoreReadResult ReadSmf(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || !IsTag(data, "MThd")) return Failure("MIDI ファイルではありません (MThd がありません)");
    const std::uint32_t headerLength = Be32(data + 4);
    if (headerLength < 6) return Failure("MIDI ファイルのヘッダーが不正です (長さ " + std::to_string(headerLength) + ")");
    if (headerLength > size - 8) return Failure("MIDI ファイルのヘッダーが途中で切れています");
    const std::uint16_t format = Be16(data + 8);
    const std::uint16_t declaredTracks = Be16(data + 10);
    const std::uint16_t division = Be16(data + 12);
    if (format > 2) return Failure("未対応の MIDI ファイル形式です (形式 " + std::to_string(format) + ")");
    if (declaredTracks == 0) return Failure("MIDI ファイルにトラックがありません");
    bool smpte = false;
    int fps = 0;
    std::uint32_t ticks = 0;
    if (!ParseDivision(division, smpte, fps, ticks)) return Failure("MIDI ファイルの時間単位が不正です");

    // Collect the declared number of MTrk chunks; other chunk types are skipped, and anything after
    // the last declared track is ignored. A file that ends early has damage at its end only.
    std::size_t offset = 8 + std::size_t{headerLength};
    const std::size_t afterHeader = size - offset;
    std::vector<TrackChunk> chunks;
    bool damagedAtEnd = false;
    while (chunks.size() < declaredTracks) {
        if (offset == size) {
            damagedAtEnd = true;  // tracks missing
            break;
        }
        if (size - offset < 8) {
            damagedAtEnd = true;  // a chunk header cut short
            break;
        }
        const std::uint32_t length = Be32(data + offset + 4);
        const std::size_t body = offset + 8;
        std::size_t present = length;
        if (length > size - body) {
            present = size - body;
            damagedAtEnd = true;  // the chunk claims more bytes than the file has
        }
        if (IsTag(data + offset, "MTrk")) chunks.push_back({data + body, present, body + present == size});
        offset = body + present;
    }
    if (chunks.empty()) return Failure("MIDI ファイルに MTrk チャンクがありません");
    // Every track chunk takes at least 8 bytes, so a count that cannot fit is not a real one.
    if (std::size_t{declaredTracks} * 8 > afterHeader)
        return Failure("MIDI ファイルのトラック数 (" + std::to_string(declaredTracks) + ") が不正です");

    std::vector<TrackReadResult> tracks;
    std::size_t budget = kMaxMidiEvents;
    std::size_t eventCount = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        TrackReadResult t = midi::ReadTrack(chunks[i].data, chunks[i].size, budget);
        const std::string which = "トラック " + std::to_string(i + 1);
        if (t.outcome == TrackOutcome::TooLarge) return Failure(t.error);
        if (t.outcome == TrackOutcome::Failed)
            return Failure("MIDI ファイルが壊れています (" + which + ": " + t.error + ")");
        if (t.outcome == TrackOutcome::Cut) {
            if (!chunks[i].reachesFileEnd)
                return Failure("MIDI ファイルが壊れています (" + which + " のデータがチャンクの終わりを超えています)");
            damagedAtEnd = true;
        }
        budget -= t.events.size() + t.tempos.size();
        eventCount += t.events.size();
        tracks.push_back(std::move(t));
    }
    if (damagedAtEnd && eventCount == 0) return Failure(kCutShort);

    ScoreReadResult result;
    SongScore& score = result.score;
    if (smpte) {
        score.timeBase.smpteFps = fps;
        score.timeBase.ticksPerFrame = ticks;
    } else {
        score.timeBase.ticksPerQuarter = ticks;
    }
    score.events.reserve(eventCount);
    if (format == 2) {
        // Independent sequences, one after another: each track starts where the previous one
        // ended, with its own tempo map, which starts again at 120 BPM.
        std::uint64_t startTick = 0;
        for (TrackReadResult& t : tracks) {
            const bool setsOwnStart = !t.tempos.empty() && t.tempos.front().tick == 0;
            if (startTick > 0 && !setsOwnStart) score.tempos.push_back({startTick, kDefaultUsPerQuarter});
            for (const midi::TempoChange& c : t.tempos) score.tempos.push_back({startTick + c.tick, c.usPerQuarter});
            for (midi::TrackEvent& e : t.events) score.events.push_back({startTick + e.tick, std::move(e.message)});
            // Saturates far beyond any song's length: the conversion to time then refuses it.
            startTick = std::min(startTick + std::min(t.endTick, kFarTick), kFarTick);
        }
        score.endTick = startTick;
    } else {
        // Formats 0 and 1 share one tempo map, whichever track holds the changes.
        for (TrackReadResult& t : tracks) {
            score.tempos.insert(score.tempos.end(), t.tempos.begin(), t.tempos.end());
            for (midi::TrackEvent& e : t.events) score.events.push_back({e.tick, std::move(e.message)});
            score.endTick = std::max(score.endTick, t.endTick);
        }
    }
    // Stable, so that changes at the same tick keep the file's order (the last one holds).
    std::stable_sort(score.tempos.begin(), score.tempos.end(),
                     [](const midi::TempoChange& a, const midi::TempoChange& b) { return a.tick < b.tick; });
    OrderScoreEvents(score.events);
    if (!score.events.empty()) score.endTick = std::max(score.endTick, score.events.back().tick);
    result.ok = true;
    return result;
}

// The one way a MIDI file comes off the disk: a regular file of at most kMaxMidiFileBytes.
bool ReadWholeFile(const std::string& nativePath, std::vector<std::uint8_t>& bytes, std::string& error) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer (it is refused below as no regular file).
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "ファイルを開けません";
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok || !S_ISREG(info.st_mode)) {
        error = "ファイルを開けません";  // a folder or a device is no song
        ok = false;
    } else if (static_cast<std::uint64_t>(info.st_size) > kMaxMidiFileBytes) {
        error = kSongFileTooLargeText;
        ok = false;
    } else {
        // Read one byte past the limit, so that a file growing meanwhile is still refused.
        bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
        std::size_t got = 0;
        while (ok && got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = "ファイルを読めません";
                ok = false;
            } else if (n == 0) {
                break;
            } else {
                got += static_cast<std::size_t>(n);
                if (got > kMaxMidiFileBytes) {
                    error = kSongFileTooLargeText;
                    ok = false;
                } else if (got == bytes.size()) {
                    bytes.resize(std::min(bytes.size() * 2, kMaxMidiFileBytes + 1));
                }
            }
        }
        bytes.resize(got);
    }
    ::close(fd);
    return ok;
}

}  // namespace

bool IsMidiFile(const std::uint8_t* data, std::size_t size) {
    if (!data) size = 0;
    return (size >= 4 && IsTag(data, "MThd")) || IsRmid(data, size);
}

ScoreReadResult ReadMidiScore(const std::uint8_t* data, std::size_t size) {
    if (!data) size = 0;
    if (IsRmid(data, size)) {
        const std::uint8_t* smf = nullptr;
        std::size_t smfSize = 0;
        if (!FindRmidData(data, size, smf, smfSize))
            return Failure("RMID ファイルに MIDI データ (data チャンク) がありません");
        return ReadSmf(smf, smfSize);
    }
    return ReadSmf(data, size);
}

SongReadResult ReadMidiFile(const std::uint8_t* data, std::size_t size) { return ToSong(ReadMidiScore(data, size)); }

bool ReadSongBytesAt(const std::string& nativePath, std::vector<std::uint8_t>& bytes, std::string& error) {
    return ReadWholeFile(nativePath, bytes, error);
}

SongReadResult ReadMidiFileAt(const std::string& nativePath) {
    std::vector<std::uint8_t> bytes;
    SongReadResult result;
    if (!ReadWholeFile(nativePath, bytes, result.error)) return result;
    return ReadMidiFile(bytes.data(), bytes.size());
}

}  // namespace kyro
