#include "platform/linereader.h"

#include "platform/cp932bytes.h"
#include "platform/filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace kyro {

namespace {

// Only a regular file is read: a folder reads as an error, and a FIFO or a device in the list
// file's place would block the start-up or never end. Opened without blocking for that test.
FILE* OpenForReading(const std::string& dosPath) {
    auto native = NativePath(dosPath);
    if (!native) return nullptr;
    const int fd = ::open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    FILE* file = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ::fdopen(fd, "rb") : nullptr;
    if (!file) ::close(fd);
    return file;
}

}  // namespace

LineReader::LineReader(const std::string& dosPath, std::size_t maxBytes)
    : file_(OpenForReading(dosPath), &std::fclose), maxBytes_(maxBytes), buffer_(64 * 1024) {}

std::optional<std::string> LineReader::Next() {
    std::string line;
    std::size_t total = 0;
    char last = 0;
    bool any = false;
    for (;;) {
        if (pos_ == len_ && !Fill()) {
            if (!any) return std::nullopt;
            break;
        }
        any = true;
        const char* start = buffer_.data() + pos_;
        const void* lf = std::memchr(start, '\n', len_ - pos_);
        std::size_t n = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : len_ - pos_;
        // One byte more than the limit is kept, so that a CR right at the limit is still seen.
        if (line.size() <= maxBytes_) line.append(start, std::min(n, maxBytes_ + 1 - line.size()));
        if (n > 0) last = start[n - 1];
        total += n;
        pos_ += n;
        if (lf) {
            ++pos_;
            break;
        }
    }
    if (total > 0 && last == '\r' && line.size() >= total) line.resize(total - 1);
    if (line.size() > maxBytes_) line = CutCp932(line, maxBytes_);
    return line;
}

bool LineReader::Fill() {
    if (!file_ || eof_) return false;
    len_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    pos_ = 0;
    if (len_ == 0) eof_ = true;  // end of file, or a read error: the file ends here
    return len_ > 0;
}

}  // namespace kyro
