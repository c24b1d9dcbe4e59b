#pragma once
// A small LZH writer for test fixtures: members stored uncompressed (-lh0-) with header level
// 0, 1 or 2, names written byte for byte as given (CP932), data checked by CRC-16/ARC.

#include <cstdint>
#include <string>
#include <vector>

namespace kyro::test {

struct LzhMember {
    // Level 0: the whole stored name, folders included, written into the name field as given
    //          ("sub\\inner.mid").
    // Level 1 and 2: the file name; the folder goes into `folder` (separators written as 0xFF).
    std::string name;
    std::string folder;  // level 1 and 2 only, "" for none; "/" or "\\" (single byte) separate
    std::string data;
    int level = 0;
    bool damageCrc = false;  // store a wrong data CRC (the data itself is intact)
    bool directory = false;  // a folder entry (-lhd-), level 1 and 2 only
};

uint16_t Crc16Arc(const std::string& bytes, uint16_t crc = 0);

// The archive's bytes: each member's header and data, then the end mark (one 0 byte).
std::string BuildLzh(const std::vector<LzhMember>& members);

// Writes BuildLzh(members) to a native path; false when it cannot be written.
bool WriteLzh(const std::string& nativePath, const std::vector<LzhMember>& members);

}  // namespace kyro::test
