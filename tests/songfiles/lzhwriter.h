#pragma once
// A small LZH writer for test fixtures: members with header level 0, 1, 2 or 3, names written
// byte for byte as given (CP932), data checked by CRC-16/ARC. Members are stored (-lh0-) unless
// a method id and its already compressed bytes are given (see lzhencoders.h).

#include <cstdint>
#include <string>
#include <vector>

namespace kyro::test {

struct LzhMember {
    // Level 0: the whole stored name, folders included, written into the name field as given
    //          ("sub\\inner.mid").
    // Level 1 to 3: the file name; the folder goes into `folder` (separators written as 0xFF).
    std::string name;
    std::string folder;  // level 1 to 3 only, "" for none; "/" or "\\" (single byte) separate
    std::string data;    // the original bytes: their length and CRC go into the header
    int level = 0;
    bool damageCrc = false;  // store a wrong data CRC (the data itself is intact)
    bool directory = false;  // a folder entry (-lhd-), level 1 to 3 only
    std::string method{};    // "" for -lh0- (or -lhd-); else e.g. "-lz5-", written with `packed`
    std::string packed{};    // the member's bytes as written when `method` is given
};

uint16_t Crc16Arc(const std::string& bytes, uint16_t crc = 0);

// Member contents that compress without being trivial. A Standard MIDI File of `events` note
// pairs whose pitches and velocities follow a linear congruential sequence from `seed` (the
// same bytes as the generator of tests/fixtures/lzh/make-fixtures.sh).
std::string SampleSong(uint32_t seed, size_t events);
// `length` bytes of made-up words: few repeats, so mostly literals.
std::string SampleText(uint32_t seed, size_t length);

// The archive's bytes: each member's header and data, then the end mark (one 0 byte).
std::string BuildLzh(const std::vector<LzhMember>& members);

// A level 1 member header followed by `count` extended headers of which none says the next has
// size 0 (liblhasa follows such a chain as far as it goes), its packed size claiming room for
// them all. No data and no end mark follow.
std::string EndlessLevel1Header(const std::string& name, size_t count);

// Writes BuildLzh(members) to a native path; false when it cannot be written.
bool WriteLzh(const std::string& nativePath, const std::vector<LzhMember>& members);

}  // namespace kyro::test
