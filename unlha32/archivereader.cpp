#include "archivereader.h"

#include "cp932names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

namespace unlha {

namespace {

// A self-extracting stub is at most this long; liblhasa looks no further either. The search
// sees at most kSearchBytes, enough for a level 0/1 header starting at the limit.
constexpr size_t kHeaderSearchLimit = 64 * 1024;
constexpr size_t kSearchBytes = kHeaderSearchLimit + 512;
// The first read: an archive without a stub has its first header here, and so most of the
// time it is the only read the search makes.
constexpr size_t kFirstBlock = 4096;
// Later reads of headers and small pieces of data; larger requests go straight to the caller.
constexpr size_t kRefillBlock = 4096;
constexpr size_t kLevel01NameLengthAt = 21;
constexpr size_t kLevel01NameAt = 22;
constexpr size_t kLevel2ExtendedAt = 24;  // the size field of the first extended header
constexpr size_t kLevel3ExtendedAt = 28;
constexpr size_t kLevel3BaseLength = 32;
constexpr size_t kLevel3MaxLength = 1024 * 1024;  // liblhasa refuses longer level 3 headers
constexpr unsigned char kExtFileName = 0x01;
constexpr unsigned char kExtFolder = 0x02;

// The method ids liblhasa takes for a header when it searches past a stub: "-lh?-", "-lz4-",
// "-lz5-", "-lzs-" and "-pm?-" but not "-pms-" (a mark inside PMarc's self-extractor).
bool IsMethodId(const unsigned char* p) {
    if (p[0] != '-' || p[4] != '-') return false;
    if (p[1] == 'l' && p[2] == 'h') return true;
    if (p[1] == 'l' && p[2] == 'z') return p[3] == '4' || p[3] == '5' || p[3] == 's';
    return p[1] == 'p' && p[2] == 'm' && p[3] != 's';
}

size_t Word(const unsigned char* p) { return p[0] | (p[1] << 8u); }
size_t Dword(const unsigned char* p) { return Word(p) | (Word(p + 2) << 16u); }

// What the bytes at a position say about a header there. kShort: they are too few to tell,
// and more of the file might decide it.
enum class Verdict { kNo, kYes, kShort };

// A sound header at `h`, with `available` bytes of the file from there: the bytes it claims to
// have are there and, for levels 0 and 1, its checksum (byte sum of the header after the first
// two bytes) matches.
Verdict HeaderVerdict(const unsigned char* h, size_t available) {
    if (available < 7) return Verdict::kShort;
    if (!IsMethodId(h + 2)) return Verdict::kNo;
    if (available < 24) return Verdict::kShort;
    switch (h[20]) {
    case 0:
    case 1: {
        size_t size = h[0];
        if (size + 2 > available) return Verdict::kShort;
        if (kLevel01NameAt + h[kLevel01NameLengthAt] > size + 2) return Verdict::kNo;
        unsigned char sum = 0;
        for (size_t i = 2; i < size + 2; ++i) sum = static_cast<unsigned char>(sum + h[i]);
        return sum == h[1] ? Verdict::kYes : Verdict::kNo;
    }
    case 2: {
        size_t size = Word(h);
        if (size < 26) return Verdict::kNo;
        return size <= available ? Verdict::kYes : Verdict::kShort;
    }
    case 3: {
        if (Word(h) != 4) return Verdict::kNo;
        if (available < kLevel3BaseLength) return Verdict::kShort;
        size_t size = Dword(h + 24);
        if (size < kLevel3BaseLength || size > kLevel3MaxLength) return Verdict::kNo;
        return size <= available ? Verdict::kYes : Verdict::kShort;
    }
    default:
        return Verdict::kNo;
    }
}

std::string CString(const char* s) { return s ? s : ""; }

std::string Bytes(const unsigned char* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// The name parts of a header as stored.
struct StoredParts {
    std::string folder;  // raw, separators as stored (0xFF, "\\" or "/")
    std::string file;
};

// Walks the extended headers from the size field at `at` (each [size][type][data], the size,
// of `sizeBytes` bytes, counting itself; 0 ends the chain) and takes the file name (type 1)
// and folder (type 2). False when a size runs past the header.
bool ReadExtendedNames(const unsigned char* raw, size_t end, size_t at, size_t sizeBytes, StoredParts& parts) {
    while (at <= end && end - at >= sizeBytes) {
        size_t size = sizeBytes == 4 ? Dword(raw + at) : Word(raw + at);
        if (size == 0) return true;
        if (size < sizeBytes + 1 || size > end - at) return false;
        const unsigned char type = raw[at + sizeBytes];
        std::string data = Bytes(raw + at + sizeBytes + 1, size - sizeBytes - 1);
        if (type == kExtFileName) parts.file = data;
        else if (type == kExtFolder) parts.folder = data;
        at += size;
    }
    return false;
}

// The name field of a level 0 or 1 header, up to a NUL some writers put inside it.
bool ReadNameField(const unsigned char* raw, size_t end, StoredParts& parts) {
    if (end <= kLevel01NameAt) return false;
    size_t length = raw[kLevel01NameLengthAt];
    if (kLevel01NameAt + length > end) return false;
    std::string field = Bytes(raw + kLevel01NameAt, length);
    parts.file = field.substr(0, field.find('\0'));
    return true;
}

// The stored parts from the raw header bytes; nothing when they do not hold together.
std::optional<StoredParts> ReadStoredParts(const LHAFileHeader& header) {
    const unsigned char* raw = header.raw_data;
    const size_t end = header.raw_data_len;
    if (!raw) return std::nullopt;
    StoredParts parts;
    bool ok = false;
    switch (header.header_level) {
    case 0:
        ok = ReadNameField(raw, end, parts);
        break;
    case 1: {
        // The base header ends with the size of the first extended header.
        size_t baseEnd = static_cast<size_t>(raw[0]) + 2;
        ok = ReadNameField(raw, end, parts) && baseEnd <= end && ReadExtendedNames(raw, end, baseEnd - 2, 2, parts);
        break;
    }
    case 2:
        ok = ReadExtendedNames(raw, end, kLevel2ExtendedAt, 2, parts);
        break;
    case 3:
        ok = ReadExtendedNames(raw, end, kLevel3ExtendedAt, 4, parts);
        break;
    default:
        break;
    }
    if (!ok) return std::nullopt;
    return parts;
}

}  // namespace

std::string StoredName(const LHAFileHeader& header) {
    std::string name;
    if (auto parts = ReadStoredParts(header)) {
        name = NormaliseSeparators(parts->folder);
        if (!name.empty() && name.back() != '/') name += '/';
        name += NormaliseSeparators(parts->file);
    } else {
        name = CString(header.path) + CString(header.filename);
    }
    return WithoutRootPrefix(name);
}

MemberInfo DescribeMember(const LHAFileHeader& header) {
    MemberInfo m;
    m.name = StoredName(header);
    m.method = std::string(header.compress_method, strnlen(header.compress_method, sizeof header.compress_method));
    m.length = static_cast<uint32_t>(header.length);
    m.compressedLength = static_cast<uint32_t>(header.compressed_length);
    m.crc = header.crc;
    m.osType = header.os_type;
    m.headerLevel = header.header_level;
    m.timestamp = header.timestamp;
    return m;
}

// liblhasa reads a level 1 header's extended headers one read each and grows the header by
// realloc each time, until one says the next has size 0. A hostile chain that never says so
// would be followed to the end of the file, in time that grows with the square of its length
// where realloc copies; so one header gets a bounded number of reads. Finding the first header
// behind a stub takes up to 64 KB in reads of 12 bytes or more, about 5500.
constexpr unsigned kMaxReadsPerHeader = 16384;

// The archive file and a window of it in memory: the bytes the header search read, later the
// last block read for liblhasa. Skipping only moves the position; nothing is read for it.
struct ArchiveStream::Source {
    int fd = -1;
    uint64_t fileSize = 0;  // at opening
    uint64_t position = 0;  // where liblhasa reads next
    std::unique_ptr<unsigned char[]> window{new unsigned char[kSearchBytes]};  // not zero-filled
    uint64_t windowStart = 0;
    size_t windowLength = 0;
    bool searchComplete = false;  // the window holds all the search may see
    bool inHeader = false;
    unsigned headerReads = 0;
    // What the reads for the header being read saw: where liblhasa finds none, they tell the
    // end of the archive from damage. liblhasa's first read for a header (after the skip over
    // the data before it) starts at the header.
    uint64_t headerAt = 0;          // where the first read started
    int headerFirstByte = -1;       // the byte there; -1 when that read got none
    bool headerReadFailed = false;  // a read error, or the read limit

    void BeginHeader() {
        inHeader = true;
        headerReads = 0;
        headerFirstByte = -1;
        headerReadFailed = false;
    }

    // No header was found where the reads looked: a clean end when the file ends exactly there
    // or an end mark (first byte 0) stands there. No read at all means the skip failed.
    bool EndedCleanly() const {
        if (headerReads == 0 || headerReadFailed) return false;
        return headerFirstByte == 0 || (headerFirstByte < 0 && headerAt == fileSize);
    }

    ~Source() {
        if (fd >= 0) close(fd);
    }
};

namespace {

// Up to `size` bytes at `offset`, fewer only at the end of the file; -1 on an error before any.
ssize_t ReadAt(int fd, unsigned char* buffer, size_t size, uint64_t offset) {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    size_t done = 0;
    while (done < size) {
        ssize_t got = pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done ? static_cast<ssize_t>(done) : -1;
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// Extends the search window (which starts at the file's start): the first block, then doubled
// each time, up to kSearchBytes.
void GrowSearchWindow(ArchiveStream::Source& source) {
    const size_t target = std::min(kSearchBytes, std::max(source.windowLength * 2, kFirstBlock));
    const size_t asked = target - source.windowLength;
    ssize_t got = ReadAt(source.fd, source.window.get() + source.windowLength, asked, source.windowLength);
    if (got > 0) source.windowLength += static_cast<size_t>(got);
    // A short read is the end of the file; an error ends the search with what was read.
    if (got < 0 || static_cast<size_t>(got) < asked || source.windowLength == kSearchBytes) source.searchComplete = true;
}

// Serves liblhasa's read from the window, refilling it, or straight from the file.
int ReadFromSource(ArchiveStream::Source* source, unsigned char* out, size_t size) {
    size_t done = 0;
    while (done < size) {
        const uint64_t windowEnd = source->windowStart + source->windowLength;
        if (source->position >= source->windowStart && source->position < windowEnd) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, windowEnd - source->position));
            std::memcpy(out + done, source->window.get() + (source->position - source->windowStart), n);
            source->position += n;
            done += n;
            continue;
        }
        const size_t left = size - done;
        if (left >= kRefillBlock) {
            ssize_t got = ReadAt(source->fd, out + done, left, source->position);
            if (got < 0) return done ? static_cast<int>(done) : -1;
            source->position += static_cast<size_t>(got);
            done += static_cast<size_t>(got);
            break;
        }
        ssize_t got = ReadAt(source->fd, source->window.get(), kRefillBlock, source->position);
        if (got < 0) return done ? static_cast<int>(done) : -1;
        source->windowStart = source->position;
        source->windowLength = static_cast<size_t>(got);
        if (got == 0) break;
    }
    return static_cast<int>(done);
}

int SourceRead(void* handle, void* buffer, size_t size) {
    auto* source = static_cast<ArchiveStream::Source*>(handle);
    auto* out = static_cast<unsigned char*>(buffer);
    if (!source->inHeader) return ReadFromSource(source, out, size);
    if (++source->headerReads > kMaxReadsPerHeader) {
        source->headerReadFailed = true;
        return -1;
    }
    const bool first = source->headerReads == 1;
    if (first) source->headerAt = source->position;
    const int got = ReadFromSource(source, out, size);
    if (got < 0) source->headerReadFailed = true;
    else if (first && got > 0) source->headerFirstByte = out[0];
    return got;
}

int SourceSkip(void* handle, size_t bytes) {
    auto* source = static_cast<ArchiveStream::Source*>(handle);
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (bytes > limit || source->position > limit - bytes) return 0;
    source->position += bytes;
    return 1;
}

// The Source belongs to the ArchiveStream, which closes the file.
void SourceClose(void*) {}

const LHAInputStreamType kSourceType = {&SourceRead, &SourceSkip, &SourceClose};

}  // namespace

ArchiveStream::ArchiveStream(const std::string& nativePath) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; a FIFO, a
    // device or a folder is no archive anyway.
    int fd = open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        end_ = ArchiveEnd::kNoArchive;
        return;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        end_ = ArchiveEnd::kNoArchive;
        return;
    }
    source_ = std::make_unique<Source>();
    source_->fd = fd;
    source_->fileSize = static_cast<uint64_t>(st.st_size);
    if (!FindFirstHeader()) end_ = ArchiveEnd::kNoArchive;
}

ArchiveStream::~ArchiveStream() {
    if (reader_) lha_reader_free(reader_);
    if (stream_) lha_input_stream_free(stream_);
}

bool ArchiveStream::FindFirstHeader() {
    Source& s = *source_;
    GrowSearchWindow(s);
    for (size_t at = 0; at <= kHeaderSearchLimit;) {
        if (at >= s.windowLength && s.searchComplete) return false;
        Verdict verdict = at < s.windowLength ? HeaderVerdict(s.window.get() + at, s.windowLength - at) : Verdict::kShort;
        if (verdict == Verdict::kYes) return true;
        if (verdict == Verdict::kShort && !s.searchComplete) {
            GrowSearchWindow(s);
            continue;  // the same position again, with more bytes
        }
        ++at;
    }
    return false;
}

bool ArchiveStream::StartReader() {
    if (reader_) return true;
    if (!stream_) stream_ = lha_input_stream_new(&kSourceType, source_.get());
    if (stream_) reader_ = lha_reader_new(stream_);
    if (reader_) lha_reader_set_dir_policy(reader_, LHA_READER_DIR_PLAIN);
    return reader_ != nullptr;
}

const LHAFileHeader* ArchiveStream::Next() {
    if (end_ != ArchiveEnd::kNotReached) return nullptr;
    if (!StartReader()) {
        end_ = ArchiveEnd::kNoArchive;
        return nullptr;
    }
    source_->BeginHeader();
    const LHAFileHeader* header = lha_reader_next_file(reader_);
    source_->inHeader = false;
    if (header) {
        headerGiven_ = true;
        return header;
    }
    // A first header liblhasa refuses makes no archive, whatever the search saw.
    if (!headerGiven_) end_ = ArchiveEnd::kNoArchive;
    else end_ = source_->EndedCleanly() ? ArchiveEnd::kClean : ArchiveEnd::kDamaged;
    return nullptr;
}

size_t ArchiveStream::Read(void* buffer, size_t size) { return reader_ ? lha_reader_read(reader_, buffer, size) : 0; }

ArchiveEnd ReadMemberList(ArchiveStream& archive, std::vector<MemberInfo>& members) {
    while (const LHAFileHeader* header = archive.Next())
        if (!IsFolderEntry(*header)) members.push_back(DescribeMember(*header));
    return archive.End();
}

}  // namespace unlha
