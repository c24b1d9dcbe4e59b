#include "extractcommand.h"

#include "archivereader.h"
#include "cp932names.h"
#include "crc16.h"
#include "dospath.h"
#include "unlhaerrors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

namespace unlha {

namespace {

CommandResult Fail(int code, std::string message) { return {code, std::move(message)}; }

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A DOS folder without its final "\" (a drive root keeps it), resolved.
std::optional<std::string> FolderToNative(std::string dos) {
    if (dos.size() > 3 && dos.back() == '\\') dos.pop_back();
    return ToNativePath(dos);
}

// The native file name parts of the member argument: separators "\" or "/", empty and "."
// parts dropped, each part CP932 -> UTF-8.
std::optional<std::vector<std::string>> DestinationParts(const std::string& member) {
    std::vector<std::string> parts;
    const auto components = SplitComponents(NormaliseSeparators(member));
    // A name ending in a separator or "." names a folder: unpacked as a file, it would not be
    // found again under the name the caller asked for.
    if (components.empty() || components.back().empty() || components.back() == ".") return std::nullopt;
    for (const auto& part : components) {
        if (part.empty() || part == ".") continue;
        auto native = Cp932ToUtf8(part);
        if (!native) return std::nullopt;
        parts.push_back(*native);
    }
    if (parts.empty()) return std::nullopt;
    return parts;
}

// Makes (or finds) each subfolder below `base`; a part that exists as anything but a real
// folder (a file, or a link that could lead outside) stops it.
std::optional<std::string> MakeSubfolders(std::string base, const std::vector<std::string>& folders) {
    for (const auto& name : folders) {
        base += "/" + name;
        if (mkdir(base.c_str(), 0755) != 0 && errno != EEXIST) return std::nullopt;
        struct stat st {};
        if (lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    }
    return base;
}

// No real stream expands further: lh5 to lh7 copy 256 bytes for a one-bit code (2048 bytes a
// byte). Only a hand-made stream goes beyond it (a Huffman table of a single code costs no
// bits at all), and liblhasa's PMarc decoders read zeros past the end of the data and go on
// producing bytes up to the declared length, however large; so a declared length past this
// bound is damage, found before anything is written.
constexpr uint64_t kMaxExpansion = 2048;
constexpr uint64_t kExpansionSlack = 64 * 1024;

bool IsPlausibleLength(const LHAFileHeader& header) {
    return uint64_t{header.length} <= uint64_t{header.compressed_length} * kMaxExpansion + kExpansionSlack;
}

// Copies the current member's data to `fd`, checking length and CRC-16/ARC (liblhasa's
// read call reports neither).
bool CopyMemberData(ArchiveStream& archive, const LHAFileHeader& header, int fd) {
    if (!IsPlausibleLength(header)) return false;
    constexpr size_t kBufferSize = 64 * 1024;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBufferSize]);  // filled by each read
    size_t total = 0;
    uint16_t crc = 0;
    while (size_t got = archive.Read(buffer.get(), kBufferSize)) {
        crc = UpdateCrc16(crc, buffer.get(), got);
        for (size_t done = 0; done < got;) {
            ssize_t n = write(fd, buffer.get() + done, got - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        total += got;
    }
    return total == header.length && crc == header.crc;
}

CommandResult WriteMember(ArchiveStream& archive, const LHAFileHeader& header, const std::string& folder,
                          const std::string& fileName) {
    std::string temp = folder + "/.unlha-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) return Fail(kWriteFailed, "cannot create the output file");
    bool dataOk = CopyMemberData(archive, header, fd);
    struct timespec times[2] = {{static_cast<time_t>(header.timestamp), 0}, {static_cast<time_t>(header.timestamp), 0}};
    futimens(fd, times);  // the stored time is a courtesy; a failure here loses nothing
    bool written = fchmod(fd, 0644) == 0;
    written = close(fd) == 0 && written;
    if (!dataOk) {
        unlink(temp.c_str());
        return Fail(kDamagedMember, "damaged member (CRC error or data cut short)");
    }
    if (!written || rename(temp.c_str(), (folder + "/" + fileName).c_str()) != 0) {
        unlink(temp.c_str());
        return Fail(kWriteFailed, "cannot write the output file");
    }
    return {kCommandOk, "OK"};
}

// Positions of single-byte characters: a "\" there is a separator, not a second byte.
std::vector<bool> SingleBytePositions(const std::string& text) {
    std::vector<bool> single(text.size(), false);
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            ++i;
            continue;
        }
        single[i] = true;
    }
    return single;
}

// The member to unpack: the first whose whole name matches, else the first matched by a tail
// (several members may list alike once the program strips their first folder). Its position
// counts members only, folders left out; -1 when none matches.
long ChooseMember(const std::vector<MemberInfo>& members, const std::string& member) {
    long tail = -1;
    for (size_t i = 0; i < members.size(); ++i) {
        int rank = MemberNameMatchRank(members[i].name, member);
        if (rank == 2) return static_cast<long>(i);
        if (rank == 1 && tail < 0) tail = static_cast<long>(i);
    }
    return tail;
}

// Unpacks the chosen one of `members` (the archive's listing, read just before) as `member`.
// A second pass finds its header again; it must still be the member listed.
CommandResult ExtractListed(const std::string& archiveNative, const std::string& nativeFolder,
                            const std::string& member, const std::vector<MemberInfo>& members) {
    auto parts = DestinationParts(member);
    if (!parts) return Fail(kUnsafeName, "unusable member name");
    long chosen = ChooseMember(members, member);
    if (chosen < 0) return Fail(kMemberNotFound, "no such member");
    const MemberInfo& listed = members[static_cast<size_t>(chosen)];
    if (!IsSafeMemberName(listed.name)) return Fail(kUnsafeName, "unsafe stored name");

    ArchiveStream archive(archiveNative);
    long position = -1;
    while (const LHAFileHeader* header = archive.Next()) {
        if (IsFolderEntry(*header) || ++position < chosen) continue;
        if (StoredName(*header) != listed.name) break;
        std::string fileName = parts->back();
        parts->pop_back();
        auto folder = MakeSubfolders(nativeFolder, *parts);
        if (!folder) return Fail(kWriteFailed, "cannot create the member's folder");
        return WriteMember(archive, *header, *folder, fileName);
    }
    return Fail(kDamagedMember, "the archive changed while it was read");
}

// The members up to the end or the damage; false when the file is not an archive. A member
// listed before damage unpacks as in a sound archive.
bool ListMembers(const std::string& archiveNative, std::vector<MemberInfo>& members) {
    ArchiveStream archive(archiveNative);
    return ReadMemberList(archive, members) != ArchiveEnd::kNoArchive;
}

}  // namespace

CommandResult ExtractMember(const std::string& archiveNative, const std::string& nativeFolder,
                            const std::string& member) {
    if (!IsSafeMemberName(member)) return Fail(kUnsafeName, "unsafe member name");
    if (!DestinationParts(member)) return Fail(kUnsafeName, "unusable member name");
    std::vector<MemberInfo> members;
    if (!ListMembers(archiveNative, members)) return Fail(kNotAnArchive, "not an LZH archive");
    return ExtractListed(archiveNative, nativeFolder, member, members);
}

CommandResult RunCommand(const std::string& commandLine) {
    // The command word and its switches.
    size_t at = commandLine.find_first_not_of(' ');
    if (at == std::string::npos || (commandLine[at] != 'e' && commandLine[at] != 'E') ||
        (at + 1 < commandLine.size() && commandLine[at + 1] != ' '))
        return Fail(kBadCommand, "unknown command");
    at = commandLine.find_first_not_of(' ', at + 1);
    while (at != std::string::npos && commandLine[at] == '-') {
        at = commandLine.find(' ', at);
        if (at != std::string::npos) at = commandLine.find_first_not_of(' ', at);
    }
    if (at == std::string::npos) return Fail(kBadCommand, "missing arguments");
    const std::string rest = commandLine.substr(at);
    const std::vector<bool> single = SingleBytePositions(rest);

    CommandResult outcome = Fail(kArchiveNotFound, "archive not found");
    for (size_t split = rest.size(); split-- > 0;) {  // longest archive first
        if (rest[split] != ' ') continue;
        auto archive = ToNativePath(rest.substr(0, split));
        if (!archive || !IsRegularFile(*archive)) continue;
        std::vector<MemberInfo> members;  // read once for every folder reading below
        if (!ListMembers(*archive, members)) {
            if (outcome.code == kArchiveNotFound) outcome = Fail(kNotAnArchive, "not an LZH archive");
            continue;
        }
        if (outcome.code == kArchiveNotFound || outcome.code == kNotAnArchive)
            outcome = Fail(kFolderNotFound, "output folder not found");
        for (size_t end = split + 1; end + 2 < rest.size(); ++end) {  // shortest folder first
            if (rest[end] != '\\' || !single[end] || rest[end + 1] != ' ') continue;
            auto folder = FolderToNative(rest.substr(split + 1, end - split));
            if (!folder || !IsFolder(*folder)) continue;
            const std::string member = rest.substr(end + 2);
            if (!IsSafeMemberName(member)) return Fail(kUnsafeName, "unsafe member name");
            // Several readings may name real places; the one whose member exists wins.
            if (ChooseMember(members, member) < 0) {
                if (outcome.code == kFolderNotFound) outcome = Fail(kMemberNotFound, "no such member");
                continue;
            }
            return ExtractListed(*archive, *folder, member, members);
        }
    }
    return outcome;
}

}  // namespace unlha
