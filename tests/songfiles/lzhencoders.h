#pragma once
// Small compressors for the LZH methods no tool on this machine writes (LArc's -lz5- and -lzs-,
// LHarc's -lh1-, PMarc's -pm1- and -pm2-), so that fixtures of those methods can be made at test
// time and wrapped by WriteLzh ({..., method, packed}). They aim at valid streams, not at good
// ratios: greedy matches over short distances. `lha t` checks what they make.

#include <string>

namespace kyro::test {

// LArc -lz5-: flag bytes (bit set = literal) over literals and 2-byte copies of 3 to 18 bytes
// from a 4 KB ring that starts 18 bytes before its end.
std::string EncodeLz5(const std::string& data);

// LArc -lzs-: a bit stream of 1 + literal byte, or 0 + 11-bit ring position + 4-bit length
// (2 to 17 bytes) in a 2 KB ring that starts 17 bytes before its end.
std::string EncodeLzs(const std::string& data);

// LHarc -lh1-: LZHUF's adaptive Huffman code over 256 literals and 58 copy lengths (3 to 60),
// copy distances by a fixed code for their upper 6 bits and 6 plain bits.
std::string EncodeLh1(const std::string& data);

// PMarc -pm1-: literal blocks whose bytes are positions in a move-to-front list, each block
// followed by a copy; copies here reach back at most 64 bytes.
std::string EncodePm1(const std::string& data);

// PMarc -pm2-: one Huffman table of nine codes (eight literal ranges of the move-to-front list,
// one 2-byte copy up to 64 bytes back), sent once; no offset table is needed then.
std::string EncodePm2(const std::string& data);

}  // namespace kyro::test
