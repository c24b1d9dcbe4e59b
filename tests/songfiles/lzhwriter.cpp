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

std::string Method(const LzhMember& m) {
    if (m.directory) return "-lhd-";
    return m.method.empty() ? "-lh0-" : m.method;
}

// The bytes that follow the header.
const std::string& Packed(const LzhMember& m) { return m.method.empty() ? m.data : m.packed; }

uint32_t PackedSize(const LzhMember& m) { return m.directory ? 0 : static_cast<uint32_t>(Packed(m).size()); }

void Put32At(std::string& s, size_t at, uint32_t v) {
    Set16(s, at, v & 0xFFFF);
    Set16(s, at + 2, v >> 16);
}

uint16_t DataCrc(const LzhMember& m) {
    uint16_t crc = Crc16Arc(m.data);
    return m.damageCrc ? static_cast<uint16_t>(crc ^ 0x5A5A) : crc;
}

// Level 0: size, checksum, method, sizes, DOS time, attribute, level, name, data CRC.
std::string Level0(const LzhMember& m) {
    std::string h(2, '\0');
    h += Method(m);
    Put32(h, PackedSize(m));
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
    Put32(h, PackedSize(m) + extSize);
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

// The extended headers of levels 2 and 3, each [type][data]: the common header (whose CRC
// field, bytes 1-2, is set once the whole header is known), the file name and the folder.
std::vector<std::string> ExtendedHeaders(const LzhMember& m) {
    std::vector<std::string> ext;
    ext.push_back(std::string("\x00\x00\x00", 3));
    // Built by append: "\x01" + name trips a false GCC 12 -Wrestrict warning at -O3.
    if (!m.directory) ext.push_back(std::string(1, '\x01').append(m.name));
    if (!m.folder.empty()) ext.push_back(std::string(1, '\x02').append(FolderField(m.folder)));
    return ext;
}

// Levels 2 and 3 share the fields after the size: method, sizes, Unix time, attribute, level,
// data CRC and OS id ('M').
void PutCommonFields(std::string& h, const LzhMember& m, int level) {
    h += Method(m);
    Put32(h, PackedSize(m));
    Put32(h, static_cast<uint32_t>(m.data.size()));
    Put32(h, kUnixStamp);
    h += '\x20';
    h += static_cast<char>(level);
    Put16(h, DataCrc(m));
    h += 'M';
}

// Level 2: a 16-bit total size and every name in extended headers with 16-bit sizes; the
// common header carries the CRC of the whole header.
std::string Level2(const LzhMember& m) {
    std::string h(2, '\0');
    PutCommonFields(h, m, 2);
    size_t crcAt = h.size() + 3;  // the common header comes first
    for (const auto& e : ExtendedHeaders(m)) {
        Put16(h, static_cast<uint32_t>(e.size() + 2));
        h += e;
    }
    Put16(h, 0);
    // A total size with a zero low byte would read as the end mark to older readers.
    if ((h.size() & 0xFF) == 0) h += '\0';
    Set16(h, 0, static_cast<uint32_t>(h.size()));
    Set16(h, crcAt, Crc16Arc(h));
    return h;
}

// Level 3: a word size of 4 in place of the header size, a 32-bit total size at offset 24, and
// extended headers with 32-bit sizes.
std::string Level3(const LzhMember& m) {
    std::string h;
    Put16(h, 4);
    PutCommonFields(h, m, 3);
    Put32(h, 0);  // total header size, set below
    size_t crcAt = h.size() + 5;
    for (const auto& e : ExtendedHeaders(m)) {
        Put32(h, static_cast<uint32_t>(e.size() + 4));
        h += e;
    }
    Put32(h, 0);
    Put32At(h, 24, static_cast<uint32_t>(h.size()));
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

std::string SampleSong(uint32_t seed, size_t events) {
    uint32_t x = seed;
    std::string body;
    for (size_t i = 0; i < events; ++i) {
        x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
        const char note = static_cast<char>(48 + (x >> 16) % 24);
        const char velocity = static_cast<char>(64 + (x >> 8) % 48);
        body += std::string("\x00\x90", 2) + note + velocity + '\x60' + '\x80' + note + '\x40';
    }
    body += std::string("\x00\xFF\x2F\x00", 4);
    std::string track = "MTrk";
    for (int shift = 24; shift >= 0; shift -= 8) track += static_cast<char>((body.size() >> shift) & 0xFF);
    return std::string("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14) + track + body;
}

std::string SampleText(uint32_t seed, size_t length) {
    uint32_t x = seed;
    std::string text;
    while (text.size() < length) {
        x = x * 1664525u + 1013904223u;
        const size_t word = 2 + (x >> 28) % 8;
        for (size_t i = 0; i < word; ++i) {
            x = x * 1664525u + 1013904223u;
            text += static_cast<char>('a' + (x >> 24) % 26);
        }
        text += (x & 0x300) == 0 ? "\r\n" : " ";
    }
    text.resize(length);
    return text;
}

std::string BuildLzh(const std::vector<LzhMember>& members) {
    std::string out;
    for (const auto& m : members) {
        if (m.level == 0) out += Level0(m);
        else if (m.level == 1) out += Level1(m);
        else if (m.level == 2) out += Level2(m);
        else out += Level3(m);
        if (!m.directory) out += Packed(m);
    }
    out += '\0';
    return out;
}

std::string EndlessLevel1Header(const std::string& name, size_t count) {
    std::string h = Level1({name, "", "", 1});
    h[h.size() - 2] = 3;         // the first extended header's size, the base header's last field
    Put32At(h, 7, 0xFFFFFFF0);  // the packed size
    h[1] = static_cast<char>(Checksum(h, 2));
    for (size_t i = 0; i < count; ++i) h += std::string("\x7F\x03\x00", 3);
    return h;
}

bool WriteLzh(const std::string& nativePath, const std::vector<LzhMember>& members) {
    std::ofstream f(nativePath, std::ios::binary | std::ios::trunc);
    std::string bytes = BuildLzh(members);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f.flush());
}

}  // namespace kyro::test
