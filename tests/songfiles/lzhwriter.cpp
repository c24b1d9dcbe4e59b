#include "lzhwriter.h"

#include <fstream>

namespace kyro::test {

namespace {

// 2001-02-03 04:05:06 as an MS-DOS date and time (level 0 and 1 headers).
constexpr uint32_t kDosStamp = ((2001 - 1980) << 25) | (2 << 21) | (3 << 16) | (4 << 11) | (5 << 5) | 3;
// The same moment as a Unix time, UTC (level 2 headers).
constexpr uint32_t kUnixStamp = 981173106;

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

void Set16(std::string& s, size_t at, uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Folder separators of the extended folder header are 0xFF; a 0x5C second byte stays as it is.
std::string FolderField(const std::string& folder) {
    std::string out;
    for (size_t i = 0; i < folder.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(folder[i]);
        if (IsLead(c) && i + 1 < folder.size()) {
            out += folder.substr(i, 2);
            ++i;
        } else if (c == '/' || c == '\\') {
            out += '\xFF';
        } else {
            out += folder[i];
        }
    }
    if (!out.empty() && out.back() != '\xFF') out += '\xFF';
    return out;
}

uint8_t Checksum(const std::string& header, size_t from) {
    uint8_t sum = 0;
    for (size_t i = from; i < header.size(); ++i) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(header[i]));
    return sum;
}

std::string Method(const LzhMember& m) { return m.directory ? "-lhd-" : "-lh0-"; }

uint16_t DataCrc(const LzhMember& m) {
    uint16_t crc = Crc16Arc(m.data);
    return m.damageCrc ? static_cast<uint16_t>(crc ^ 0x5A5A) : crc;
}

// Level 0: size, checksum, method, sizes, DOS time, attribute, level, name, data CRC.
std::string Level0(const LzhMember& m) {
    std::string h(2, '\0');
    h += Method(m);
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, kDosStamp);
    h += '\x20';
    h += '\x00';
    h += static_cast<char>(m.name.size());
    h += m.name;
    Put16(h, DataCrc(m));
    h[0] = static_cast<char>(h.size() - 2);
    h[1] = static_cast<char>(Checksum(h, 2));
    return h;
}

// Level 1: as level 0 plus an OS id and extended headers (here only the folder) whose sizes
// count in the "compressed" size.
std::string Level1(const LzhMember& m) {
    std::string ext;
    if (!m.folder.empty()) {
        std::string field = FolderField(m.folder);
        ext += '\x02';
        ext += field;
    }
    std::string h(2, '\0');
    h += Method(m);
    uint32_t extSize = ext.empty() ? 0 : static_cast<uint32_t>(ext.size() + 2);
    Put32(h, static_cast<uint32_t>(m.data.size()) + extSize);
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, kDosStamp);
    h += '\x20';
    h += '\x01';
    h += static_cast<char>(m.name.size());
    h += m.name;
    Put16(h, DataCrc(m));
    h += 'M';
    Put16(h, extSize);
    h[0] = static_cast<char>(h.size() - 2);
    h[1] = static_cast<char>(Checksum(h, 2));
    if (!ext.empty()) {
        h += ext;
        Put16(h, 0);
    }
    return h;
}

// Level 2: a 16-bit total size, Unix time, and every name in extended headers; the common
// header carries the CRC of the whole header.
std::string Level2(const LzhMember& m) {
    std::string h(2, '\0');
    h += Method(m);
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, kUnixStamp);
    h += '\x20';
    h += '\x02';
    Put16(h, DataCrc(m));
    h += 'M';
    std::vector<std::string> ext;
    ext.push_back(std::string("\x00\x00\x00", 3));  // common header: header CRC, set below
    if (!m.directory) ext.push_back("\x01" + m.name);
    if (!m.folder.empty()) ext.push_back("\x02" + FolderField(m.folder));
    size_t crcAt = 0;
    for (const auto& e : ext) {
        Put16(h, static_cast<uint32_t>(e.size() + 2));
        if (e[0] == '\x00') crcAt = h.size() + 1;
        h += e;
    }
    Put16(h, 0);
    // A total size with a zero low byte would read as the end mark to older readers.
    if ((h.size() & 0xFF) == 0) h += '\0';
    Set16(h, 0, static_cast<uint32_t>(h.size()));
    Set16(h, crcAt, Crc16Arc(h));
    return h;
}

}  // namespace

uint16_t Crc16Arc(const std::string& bytes, uint16_t crc) {
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

std::string BuildLzh(const std::vector<LzhMember>& members) {
    std::string out;
    for (const auto& m : members) {
        if (m.level == 0) out += Level0(m);
        else if (m.level == 1) out += Level1(m);
        else out += Level2(m);
        if (!m.directory) out += m.data;
    }
    out += '\0';
    return out;
}

bool WriteLzh(const std::string& nativePath, const std::vector<LzhMember>& members) {
    std::ofstream f(nativePath, std::ios::binary | std::ios::trunc);
    std::string bytes = BuildLzh(members);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f.flush());
}

}  // namespace kyro::test
