#include "archivereader.h"

#include "cp932names.h"

#include <cstdio>
#include <cstring>

namespace unlha {

namespace {

// A self-extracting stub is at most this long; liblhasa looks no further either.
constexpr size_t kHeaderSearchLimit = 64 * 1024;
constexpr size_t kLevel01NameLengthAt = 21;
constexpr size_t kLevel01NameAt = 22;

bool IsMethodId(const unsigned char* p) {
    if (p[0] != '-' || p[4] != '-') return false;
    return (p[1] == 'l' && (p[2] == 'h' || p[2] == 'z')) || (p[1] == 'p' && p[2] == 'm');
}

unsigned Word(const unsigned char* p) { return p[0] | (p[1] << 8u); }

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
    case 3:
        return Word(h) == 4;
    default:
        return false;
    }
}

std::string CString(const char* s) { return s ? s : ""; }

// The folder of a level 1 header's extended folder header (type 2), raw; "" when there is none.
std::string Level1Folder(const LHAFileHeader& header) {
    const unsigned char* raw = header.raw_data;
    size_t end = header.raw_data_len;
    size_t base = static_cast<size_t>(raw[0]) + 2;
    if (base > end || base < 2) return {};
    size_t next = Word(raw + base - 2);
    size_t at = base;
    while (next >= 3 && at + next <= end) {
        if (raw[at] == 0x02) return std::string(reinterpret_cast<const char*>(raw + at + 1), next - 3);
        size_t following = Word(raw + at + next - 2);
        at += next;
        next = following;
    }
    return {};
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
    if (header.header_level <= 1 && header.raw_data && header.raw_data_len > kLevel01NameAt) {
        const unsigned char* raw = header.raw_data;
        size_t length = raw[kLevel01NameLengthAt];
        if (kLevel01NameAt + length <= header.raw_data_len) {
            std::string field(reinterpret_cast<const char*>(raw + kLevel01NameAt), length);
            field = field.substr(0, field.find('\0'));
            std::string folder = header.header_level == 1 ? NormaliseSeparators(Level1Folder(header)) : "";
            if (!folder.empty() && folder.back() != '/') folder += '/';
            return folder + NormaliseSeparators(field);
        }
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

ArchiveStream::ArchiveStream(const std::string& nativePath) {
    std::string path = nativePath;  // liblhasa takes a non-const char*
    stream_ = lha_input_stream_from(path.data());
    if (!stream_) return;
    reader_ = lha_reader_new(stream_);
    if (reader_) lha_reader_set_dir_policy(reader_, LHA_READER_DIR_PLAIN);
}

ArchiveStream::~ArchiveStream() {
    if (reader_) lha_reader_free(reader_);
    if (stream_) lha_input_stream_free(stream_);
}

const LHAFileHeader* ArchiveStream::Next() { return reader_ ? lha_reader_next_file(reader_) : nullptr; }

size_t ArchiveStream::Read(void* buffer, size_t size) { return reader_ ? lha_reader_read(reader_, buffer, size) : 0; }

bool ReadMemberList(const std::string& nativePath, std::vector<MemberInfo>& members) {
    ArchiveStream archive(nativePath);
    if (!archive.IsOpen()) return false;
    while (const LHAFileHeader* header = archive.Next())
        if (!IsFolderEntry(*header)) members.push_back(DescribeMember(*header));
    return true;
}

}  // namespace unlha
