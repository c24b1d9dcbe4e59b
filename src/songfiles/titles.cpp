#include "songfiles/titles.h"

#include "platform/cp932bytes.h"
#include "platform/filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace kyro {

namespace {

// Reads a song file a buffer at a time: the title scan stops early, so a large file is never
// read whole. Only regular files open (a folder or a pipe is "cannot be opened").
class SongFileReader {
public:
    explicit SongFileReader(const std::string& dosPath) {
        const std::optional<std::string> native = NativePath(dosPath);
        if (!native) return;
        fd_ = ::open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        struct stat st {};
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) Close();
    }
    ~SongFileReader() { Close(); }
    SongFileReader(const SongFileReader&) = delete;
    SongFileReader& operator=(const SongFileReader&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // The next byte; nothing at the end of the file or on a read error.
    std::optional<unsigned char> Next() {
        if (at_ == filled_ && !Fill()) return std::nullopt;
        return buffer_[at_++];
    }

    // Up to `count` bytes, stopping after a line feed (which is kept) or at the end.
    std::string ReadLine(std::size_t count) {
        std::string text;
        while (text.size() < count) {
            const auto b = Next();
            if (!b) break;
            text.push_back(static_cast<char>(*b));
            if (*b == '\n') break;
        }
        return text;
    }

private:
    bool Fill() {
        if (fd_ < 0) return false;
        ssize_t n;
        do {
            n = ::read(fd_, buffer_, sizeof buffer_);
        } while (n < 0 && errno == EINTR);
        if (n <= 0) return false;
        at_ = 0;
        filled_ = static_cast<std::size_t>(n);
        return true;
    }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;
    unsigned char buffer_[4096];
    std::size_t at_ = 0;
    std::size_t filled_ = 0;
};

// The title as stored: cut at its first NUL, then without a trailing lone lead byte.
std::string FinishTitle(std::string text) {
    text.resize(std::strlen(text.c_str()));
    return CutCp932(text, text.size());
}

constexpr unsigned char kMetaEvent = 0xFF;
constexpr unsigned char kMetaText = 0x01;
constexpr unsigned char kMetaTrackName = 0x03;
constexpr unsigned char kMetaEndOfTrack = 0x2F;

// The text of the first text or name event; nothing when an end of track (or the end of the
// file) comes first.
std::optional<std::string> ScanMidiTitle(SongFileReader& file) {
    while (const auto b = file.Next()) {
        if (*b != kMetaEvent) continue;
        const auto type = file.Next();
        if (!type || *type == kMetaEndOfTrack) return std::nullopt;
        if (*type != kMetaText && *type != kMetaTrackName) continue;
        const auto length = file.Next();
        if (!length) return std::nullopt;
        const std::size_t count = std::min<std::size_t>(*length, kTitleMaxBytes);
        if (count == 0) return std::string();
        std::string text = file.ReadLine(count);
        if (text.empty()) return std::nullopt;  // the file ended before the text
        return text;
    }
    return std::nullopt;
}

// RCP 2.x files: the title field is 64 bytes and the memo follows at offset 96.
constexpr std::string_view kRcp2Signature = "RCM-PC98V2.0(C)COME ON MUSIC";
constexpr std::size_t kRcpTitleOffset = 32;
constexpr std::size_t kRcp2TitleBytes = 64;

}  // namespace

int ReadMidiTitle(const std::string& dosPath, std::string& title) {
    SongFileReader file(dosPath);
    if (!file.IsOpen()) return kTitleCannotOpen;
    const std::optional<std::string> text = ScanMidiTitle(file);
    title = text ? FinishTitle(*text) : kTitleNotSet;
    return kTitleRead;
}

int ReadRcpTitle(const std::string& dosPath, std::string& title) {
    SongFileReader file(dosPath);
    if (!file.IsOpen()) return kTitleCannotOpen;
    std::string header;
    for (std::size_t i = 0; i < kRcpTitleOffset; ++i) {
        const auto b = file.Next();
        if (!b) return kTitleUnreadable;
        header.push_back(static_cast<char>(*b));
    }
    const bool rcp2 = header.starts_with(kRcp2Signature);
    const std::string text = file.ReadLine(rcp2 ? kRcp2TitleBytes : kTitleMaxBytes);
    if (text.empty()) return kTitleUnreadable;
    title = FinishTitle(text);
    return kTitleRead;
}

}  // namespace kyro
