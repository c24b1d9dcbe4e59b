#pragma once
// Reading LZH archives through liblhasa: recognising an archive, walking its members with
// names as stored (CP932, "/" between folders), and reading one member's data.

#include <lhasa.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace unlha {

// What a listing shows of one member (folders are never listed).
struct MemberInfo {
    std::string name;            // CP932, folders separated by "/"
    std::string method;          // "-lh5-"
    uint32_t length = 0;         // original size in bytes
    uint32_t compressedLength = 0;
    uint16_t crc = 0;            // CRC-16/ARC of the original data
    uint8_t osType = 0;
    uint8_t headerLevel = 0;
    unsigned int timestamp = 0;  // Unix time
};

// The member's path and name as stored, read again from the raw header bytes at every level.
// liblhasa's own fields are not the stored bytes: at levels 0 and 1 it turns every 0x5C byte
// into "/", second bytes of CP932 characters included, and may drop the part before it; at
// every level it lower-cases names it takes for all-caps DOS names (second bytes too: "ア" 83 41
// would become "ヂ" 83 61), drops ".." and "." folders, and turns "/" in a level 2 file name
// into "_". Folders are separated by "/"; a leading drive letter and leading separators are
// dropped (WithoutRootPrefix), so listing, finding and unpacking all use the name below the
// output folder.
std::string StoredName(const LHAFileHeader& header);

MemberInfo DescribeMember(const LHAFileHeader& header);

inline bool IsFolderEntry(const LHAFileHeader& header) {
    return std::string(header.compress_method) == LHA_COMPRESS_TYPE_DIR;
}

// How a walk through an archive's headers ended. liblhasa gives no header both at the end and
// at damage; ArchiveStream tells them apart by what its reads saw where the header should be.
enum class ArchiveEnd {
    kNotReached,  // Next() still gives headers
    kClean,       // the file ends exactly where a header would start, or an end mark (a header
                  // whose first byte is 0) stands there; whatever follows an end mark is ignored
    kDamaged,     // anything else after the first header: one liblhasa refuses, a position past
                  // the end of the file (the data before it cut short), a read error, the read limit
    kNoArchive,   // not a regular file, no LZH header, or a first header liblhasa refuses
};

// One pass over an archive file. Opening reads a first block and looks for the first member
// header in it (further blocks only for a header behind a self-extracting stub); liblhasa then
// reads from those same bytes. Only a regular file is read, and opening never waits (a FIFO
// named like an archive is no archive). Not copyable; frees liblhasa's objects on destruction.
class ArchiveStream {
public:
    explicit ArchiveStream(const std::string& nativePath);
    ~ArchiveStream();
    ArchiveStream(const ArchiveStream&) = delete;
    ArchiveStream& operator=(const ArchiveStream&) = delete;

    // The next member or folder header; nullptr once there is none, End() telling why. The
    // header stays valid until the next call.
    const LHAFileHeader* Next();
    ArchiveEnd End() const { return end_; }
    // Reads the current member's data; 0 at its end.
    size_t Read(void* buffer, size_t size);

    // What liblhasa reads the file through (its handle); see archivereader.cpp.
    struct Source;

private:
    // True when the first member header can be found and is sound. liblhasa reports a text
    // file, an empty file and an empty archive alike (no first member), so the header is looked
    // at here: a method id liblhasa accepts ("-lh?-", "-lz4-", "-lz5-", "-lzs-", "-pm?-") at
    // offset 2, possibly after leading junk (a self-extracting stub), header level 0 to 3, and
    // the lengths the header claims present, with a matching checksum for levels 0 and 1.
    bool FindFirstHeader();
    bool StartReader();

    std::unique_ptr<Source> source_;
    bool headerGiven_ = false;  // Next() has given a header
    ArchiveEnd end_ = ArchiveEnd::kNotReached;
    LHAInputStream* stream_ = nullptr;  // made at the first Next()
    LHAReader* reader_ = nullptr;
};

// Every member of the archive up to its end or its damage, in stored order, from a stream not
// read yet; returns how the archive ended (kNoArchive: `members` stays empty).
ArchiveEnd ReadMemberList(ArchiveStream& archive, std::vector<MemberInfo>& members);

}  // namespace unlha
