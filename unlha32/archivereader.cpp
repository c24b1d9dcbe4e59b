#include "archivereader.h"

#include "cp932names.h"

#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>

namespace unlha {

namespace {

// A self-extracting stub is at most this long; liblhasa looks no further either.
constexpr size_t kHeaderSearchLimit = 64 * 1024;
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

// A sound header at `at`: the bytes it claims to have are there and, for levels 0 and 1, its
// checksum (byte sum of the header after the first two bytes) matches.
bool IsHeaderAt(const std::vector<unsigned char>& data, size_t at) {
    const unsigned char* h = data.data() + at;
    size_t available = data.size() - at;
    if (available < 24 || !IsMethodId(h + 2)) return false;
    switch (h[20]) {
    case 0:
    case 1: {
        size_t size = h[0];
        if (size + 2 > available || kLevel01NameAt + h[kLevel01NameLengthAt] > size + 2) return false;
        unsigned char sum = 0;
        for (size_t i = 2; i < size + 2; ++i) sum = static_cast<unsigned char>(sum + h[i]);
        return sum == h[1];
    }
    case 2: {
        size_t size = Word(h);
        return size >= 26 && size <= available;
    }
    case 3: {
        if (Word(h) != 4 || available < kLevel3BaseLength) return false;
        size_t size = Dword(h + 24);
        return size >= kLevel3BaseLength && size <= kLevel3MaxLength && size <= available;
    }
    default:
        return false;
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

bool HasLzhHeader(const std::string& nativePath) {
    FILE* f = std::fopen(nativePath.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> data(kHeaderSearchLimit + 512);
    data.resize(std::fread(data.data(), 1, data.size(), f));
    std::fclose(f);
    for (size_t at = 0; at < data.size() && at <= kHeaderSearchLimit; ++at)
        if (IsHeaderAt(data, at)) return true;
    return false;
}

std::string StoredName(const LHAFileHeader& header) {
    if (auto parts = ReadStoredParts(header)) {
        std::string folder = NormaliseSeparators(parts->folder);
        if (!folder.empty() && folder.back() != '/') folder += '/';
        return folder + NormaliseSeparators(parts->file);
    }
    return CString(header.path) + CString(header.filename);
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

struct ArchiveStream::Source {
    FILE* file = nullptr;
    bool inHeader = false;
    unsigned headerReads = 0;
};

namespace {

int SourceRead(void* handle, void* buffer, size_t size) {
    auto* source = static_cast<ArchiveStream::Source*>(handle);
    if (source->inHeader && ++source->headerReads > kMaxReadsPerHeader) return -1;
    size_t got = std::fread(buffer, 1, size, source->file);
    if (got == 0 && std::ferror(source->file)) return -1;
    return static_cast<int>(got);
}

int SourceSkip(void* handle, size_t bytes) {
    auto* source = static_cast<ArchiveStream::Source*>(handle);
    if (bytes > static_cast<size_t>(std::numeric_limits<off_t>::max())) return 0;
    return fseeko(source->file, static_cast<off_t>(bytes), SEEK_CUR) == 0 ? 1 : 0;
}

void SourceClose(void* handle) {
    auto* source = static_cast<ArchiveStream::Source*>(handle);
    std::fclose(source->file);
    delete source;
}

const LHAInputStreamType kSourceType = {&SourceRead, &SourceSkip, &SourceClose};

}  // namespace

ArchiveStream::ArchiveStream(const std::string& nativePath) {
    FILE* file = std::fopen(nativePath.c_str(), "rb");
    if (!file) return;
    source_ = new Source{file};
    stream_ = lha_input_stream_new(&kSourceType, source_);
    if (!stream_) {
        SourceClose(source_);
        source_ = nullptr;
        return;
    }
    reader_ = lha_reader_new(stream_);
    if (reader_) lha_reader_set_dir_policy(reader_, LHA_READER_DIR_PLAIN);
}

ArchiveStream::~ArchiveStream() {
    if (reader_) lha_reader_free(reader_);
    if (stream_) lha_input_stream_free(stream_);  // closes the source
}

const LHAFileHeader* ArchiveStream::Next() {
    if (!reader_) return nullptr;
    source_->inHeader = true;
    source_->headerReads = 0;
    const LHAFileHeader* header = lha_reader_next_file(reader_);
    source_->inHeader = false;
    return header;
}

size_t ArchiveStream::Read(void* buffer, size_t size) { return reader_ ? lha_reader_read(reader_, buffer, size) : 0; }

bool ReadMemberList(const std::string& nativePath, std::vector<MemberInfo>& members) {
    ArchiveStream archive(nativePath);
    if (!archive.IsOpen()) return false;
    while (const LHAFileHeader* header = archive.Next())
        if (!IsFolderEntry(*header)) members.push_back(DescribeMember(*header));
    return true;
}

}  // namespace unlha
