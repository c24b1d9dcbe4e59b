#include "lzhencoders.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kyro::test {

namespace {

// Bits, most significant first, as every one of these methods reads them.
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) PutBit((value >> i) & 1u);
    }
    void PutBit(uint32_t bit) {
        byte_ = static_cast<uint8_t>((byte_ << 1) | bit);
        if (++used_ == 8) {
            out_ += static_cast<char>(byte_);
            byte_ = 0;
            used_ = 0;
        }
    }
    std::string Finish() {
        while (used_ != 0) PutBit(0);
        return out_;
    }

private:
    std::string out_;
    uint8_t byte_ = 0;
    int used_ = 0;
};

struct Match {
    size_t length = 0;
    size_t distance = 0;  // 1 = the byte just before
};

// Earlier copies of the bytes at a position, found through chains of positions with the same
// first two bytes (nearest first). Only the data itself is searched, never a ring's initial
// contents; positions must be asked for in order.
class MatchFinder {
public:
    explicit MatchFinder(const std::string& data) : data_(data), head_(65536, kNone), prev_(data.size(), kNone) {}

    Match Find(size_t pos, size_t maxDistance, size_t maxLength) {
        for (; inserted_ < pos && inserted_ + 1 < data_.size(); ++inserted_) {
            prev_[inserted_] = head_[Key(inserted_)];
            head_[Key(inserted_)] = inserted_;
        }
        Match best;
        if (pos + 1 >= data_.size()) return best;
        const size_t limit = std::min(maxLength, data_.size() - pos);
        int tries = 0;
        for (size_t at = head_[Key(pos)]; at != kNone && pos - at <= maxDistance && tries < 256; at = prev_[at], ++tries) {
            size_t n = 0;
            while (n < limit && data_[at + n] == data_[pos + n]) ++n;  // overlapping copies are fine
            if (n > best.length) {
                best = {n, pos - at};
                if (n == limit) break;
            }
        }
        return best;
    }

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t Key(size_t at) const { return static_cast<uint8_t>(data_[at]) << 8 | static_cast<uint8_t>(data_[at + 1]); }

    const std::string& data_;
    std::vector<size_t> head_;
    std::vector<size_t> prev_;
    size_t inserted_ = 0;
};

// PMarc's move-to-front list of byte values: a circle whose head is the last byte output; a
// literal is sent as its number of steps back from the head. The initial order puts printable
// ASCII first, then control codes, then the upper half in groups.
class HistoryList {
public:
    HistoryList() {
        for (int i = 0; i < 256; ++i) {
            prev_[i] = static_cast<uint8_t>(i + 1);
            next_[i] = static_cast<uint8_t>(i - 1);
        }
        head_ = 0x20;
        Link(0x7F, 0x00);
        Link(0x1F, 0xA0);
        Link(0xDF, 0x80);
        Link(0x9F, 0xE0);
        Link(0xFF, 0x20);
    }
    unsigned StepsBack(uint8_t b) const {
        unsigned steps = 0;
        for (uint8_t at = head_; at != b; at = prev_[at]) ++steps;
        return steps;
    }
    void MoveToFront(uint8_t b) {
        if (head_ == b) return;
        next_[prev_[b]] = next_[b];
        prev_[next_[b]] = prev_[b];
        prev_[b] = head_;
        next_[b] = next_[head_];
        prev_[next_[head_]] = b;
        next_[head_] = b;
        head_ = b;
    }

private:
    // `from` steps back to `to`.
    void Link(uint8_t from, uint8_t to) {
        prev_[from] = to;
        next_[to] = from;
    }
    std::array<uint8_t, 256> prev_{};
    std::array<uint8_t, 256> next_{};
    uint8_t head_ = 0;
};

struct Range {
    unsigned base;
    int bits;
};

// The range of `table` that holds `value`.
size_t RangeIndex(const Range* table, size_t count, unsigned value) {
    for (size_t i = 0; i < count; ++i)
        if (value >= table[i].base && value < table[i].base + (1u << table[i].bits)) return i;
    return count;
}

// LZHUF's adaptive Huffman tree (FGK): nodes in order of frequency, leaves 0..313 at first,
// root last; a node's children are son[n] (bit 0) and son[n] + 1 (bit 1); a leaf's son is
// its code + kNodes. At 32768 hits the frequencies are halved and the tree is rebuilt.
class AdaptiveHuffman {
public:
    static constexpr int kCodes = 314;
    static constexpr int kNodes = 2 * kCodes - 1;
    static constexpr int kRoot = kNodes - 1;
    static constexpr unsigned kMaxFreq = 0x8000;

    AdaptiveHuffman() {
        for (int i = 0; i < kCodes; ++i) {
            freq_[i] = 1;
            son_[i] = i + kNodes;
            parent_[i + kNodes] = i;
        }
        for (int i = 0, j = kCodes; j <= kRoot; i += 2, ++j) {
            freq_[j] = freq_[i] + freq_[i + 1];
            son_[j] = i;
            parent_[i] = parent_[i + 1] = j;
        }
        freq_[kNodes] = 0xFFFF;  // a guard above every real count
        parent_[kRoot] = 0;
    }

    void Encode(int code, BitWriter& out) {
        std::vector<uint32_t> bits;  // leaf to root
        for (int k = parent_[code + kNodes]; k != kRoot; k = parent_[k]) bits.push_back(static_cast<uint32_t>(k & 1));
        for (auto it = bits.rbegin(); it != bits.rend(); ++it) out.PutBit(*it);
        Update(code);
    }

private:
    void Update(int code) {
        if (freq_[kRoot] == kMaxFreq) Rebuild();
        int c = parent_[code + kNodes];
        do {
            unsigned k = ++freq_[c];
            int l = c + 1;
            if (k > freq_[l]) {  // out of order: swap with the last node of the old frequency
                while (k > freq_[++l]) {
                }
                --l;
                freq_[c] = freq_[l];
                freq_[l] = k;
                int i = son_[c];
                parent_[i] = l;
                if (i < kNodes) parent_[i + 1] = l;
                int j = son_[l];
                son_[l] = i;
                parent_[j] = c;
                if (j < kNodes) parent_[j + 1] = c;
                son_[c] = j;
                c = l;
            }
            c = parent_[c];
        } while (c != 0);
    }

    void Rebuild() {
        int j = 0;
        for (int i = 0; i < kNodes; ++i) {
            if (son_[i] >= kNodes) {
                freq_[j] = (freq_[i] + 1) / 2;
                son_[j] = son_[i];
                ++j;
            }
        }
        for (int i = 0, n = kCodes; n < kNodes; i += 2, ++n) {
            unsigned f = freq_[i] + freq_[i + 1];
            int k = n - 1;
            while (f < freq_[k]) --k;
            ++k;
            std::move_backward(freq_.begin() + k, freq_.begin() + n, freq_.begin() + n + 1);
            std::move_backward(son_.begin() + k, son_.begin() + n, son_.begin() + n + 1);
            freq_[k] = f;
            son_[k] = i;
        }
        for (int i = 0; i < kNodes; ++i) {
            int k = son_[i];
            if (k >= kNodes) {
                parent_[k] = i;
            } else {
                parent_[k] = parent_[k + 1] = i;
            }
        }
    }

    std::array<unsigned, kNodes + 1> freq_{};
    std::array<int, kNodes + kCodes> parent_{};
    std::array<int, kNodes> son_{};
};

}  // namespace

std::string EncodeLz5(const std::string& data) {
    constexpr size_t kRing = 4096;
    constexpr size_t kStart = kRing - 18;
    MatchFinder matches(data);
    std::string out;
    size_t flagAt = 0;
    int items = 8;
    for (size_t pos = 0; pos < data.size();) {
        if (items == 8) {
            flagAt = out.size();
            out += '\0';
            items = 0;
        }
        Match m = matches.Find(pos, kRing - 18, 18);
        if (m.length >= 3) {
            const size_t ringPos = (kStart + pos - m.distance) % kRing;
            out += static_cast<char>(ringPos & 0xFF);
            out += static_cast<char>(((ringPos >> 4) & 0xF0) | (m.length - 3));
            pos += m.length;
        } else {
            out[flagAt] = static_cast<char>(out[flagAt] | (1 << items));
            out += data[pos++];
        }
        ++items;
    }
    return out;
}

std::string EncodeLzs(const std::string& data) {
    constexpr size_t kRing = 2048;
    constexpr size_t kStart = kRing - 17;
    MatchFinder matches(data);
    BitWriter out;
    for (size_t pos = 0; pos < data.size();) {
        Match m = matches.Find(pos, kRing - 17, 17);
        if (m.length >= 2) {
            out.PutBit(0);
            out.Put(static_cast<uint32_t>((kStart + pos - m.distance) % kRing), 11);
            out.Put(static_cast<uint32_t>(m.length - 2), 4);
            pos += m.length;
        } else {
            out.PutBit(1);
            out.Put(static_cast<uint8_t>(data[pos++]), 8);
        }
    }
    return out.Finish();
}

std::string EncodeLh1(const std::string& data) {
    // The fixed code of a distance's upper 6 bits: 1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6,
    // 24 of 7 and 16 of 8, assigned in order.
    std::array<uint32_t, 64> upperCode{};
    std::array<int, 64> upperBits{};
    const int perLength[] = {1, 3, 8, 12, 24, 16};
    uint32_t code = 0;
    int index = 0;
    for (int i = 0; i < 6; ++i) {
        const int length = i + 3;
        for (int j = 0; j < perLength[i]; ++j, ++index) {
            upperCode[index] = code >> (8 - length);
            upperBits[index] = length;
            code += 1u << (8 - length);
        }
    }
    AdaptiveHuffman tree;
    MatchFinder matches(data);
    BitWriter out;
    for (size_t pos = 0; pos < data.size();) {
        Match m = matches.Find(pos, 4096, 60);
        if (m.length >= 3) {
            tree.Encode(static_cast<int>(256 + m.length - 3), out);
            const uint32_t offset = static_cast<uint32_t>(m.distance - 1);
            out.Put(upperCode[offset >> 6], upperBits[offset >> 6]);
            out.Put(offset & 0x3F, 6);
            pos += m.length;
        } else {
            tree.Encode(static_cast<uint8_t>(data[pos++]), out);
        }
    }
    out.Put(0, 8);  // the decoder looks 8 bits ahead for a distance
    return out.Finish();
}

std::string EncodePm1(const std::string& data) {
    constexpr size_t kMaxBlock = 216;  // a block this long is not followed by a copy
    constexpr size_t kMaxDistance = 64;
    constexpr size_t kMaxCopy = 22;
    // Literal ranges of the move-to-front list; code table 16 gives them the codes 0, 10, 110,
    // 1110, 11110 and 11111.
    static const Range kByteRanges[] = {{0, 4}, {16, 4}, {32, 5}, {64, 6}, {128, 6}, {192, 6}};
    HistoryList history;
    BitWriter out;
    size_t written = 0;  // bytes the decoder has output so far

    auto putLiteral = [&](uint8_t b) {
        const unsigned steps = history.StepsBack(b);
        const size_t range = RangeIndex(kByteRanges, 6, steps);
        for (size_t i = 0; i < range; ++i) out.PutBit(1);
        if (range < 5) out.PutBit(0);
        out.Put(steps - kByteRanges[range].base, kByteRanges[range].bits);
        history.MoveToFront(b);
        ++written;
    };
    auto putBlockLength = [&](size_t n) {  // 1 to 216
        if (n <= 3) {
            out.Put(static_cast<uint32_t>(n - 1), 2);
            return;
        }
        out.Put(3, 2);
        if (n <= 10) {
            out.Put(static_cast<uint32_t>(n - 4), 3);
            return;
        }
        out.Put(7, 3);
        if (n <= 24) {
            out.Put(static_cast<uint32_t>(n - 11), 4);
        } else if (n <= 88) {
            out.Put(14, 4);
            out.Put(static_cast<uint32_t>(n - 25), 6);
        } else {
            out.Put(15, 4);
            out.Put(static_cast<uint32_t>(n - 89), 7);
        }
    };
    auto putCopyLength = [&](size_t n) {  // 3 to 22
        if (n <= 5) {
            out.Put(static_cast<uint32_t>(n - 3), 2);
            return;
        }
        out.Put(3, 2);
        if (n <= 10) {
            out.Put(static_cast<uint32_t>(n - 6), 3);
        } else if (n <= 14) {
            out.Put(5, 3);
            out.Put(static_cast<uint32_t>(n - 11), 2);
        } else {
            out.Put(6, 3);
            out.Put(static_cast<uint32_t>(n - 15), 3);
        }
    };
    // A copy from at most 64 bytes back: range 0 (2 bytes) or range 2 (3 bytes or more); their
    // selector bits depend on how much has been output.
    auto putCopy = [&](size_t distance, const std::string& bytes) {
        if (bytes.size() == 2) {
            out.PutBit(0);
            if (written >= 576) out.PutBit(0);
            if (written >= 64) out.PutBit(0);
        } else {
            out.PutBit(1);
            if (written >= 64) out.PutBit(1);
            if (written >= 2624) out.PutBit(1);
            putCopyLength(bytes.size());
        }
        out.Put(static_cast<uint32_t>(distance - 1), 6);
        for (char b : bytes) history.MoveToFront(static_cast<uint8_t>(b));
        written += bytes.size();
    };
    MatchFinder matches(data);
    auto copyAt = [&](size_t at) { return matches.Find(at, kMaxDistance, kMaxCopy); };

    out.Put(16, 5);  // literal code table 16
    size_t pos = 0;
    while (pos < data.size()) {
        Match m = copyAt(pos);
        if (m.length >= 2) {
            out.PutBit(0);
            putCopy(m.distance, data.substr(pos, m.length));
            pos += m.length;
            continue;
        }
        size_t end = pos + 1;  // literals up to the next copy, the end, or a full block
        while (end < data.size() && end - pos < kMaxBlock && copyAt(end).length < 2) ++end;
        const size_t count = end - pos;
        out.PutBit(1);
        putBlockLength(count);
        for (; pos < end; ++pos) putLiteral(static_cast<uint8_t>(data[pos]));
        if (count == kMaxBlock) continue;
        Match next = copyAt(pos);
        if (next.length >= 2) {
            putCopy(next.distance, data.substr(pos, next.length));
            pos += next.length;
        } else {
            // The data ends after a short block, which a copy must still follow: two bytes
            // past the member's length, which the decoder drops.
            putCopy(1, std::string(2, data[pos - 1]));
        }
    }
    return out.Finish();
}

std::string EncodePm2(const std::string& data) {
    constexpr size_t kMaxDistance = 64;
    // Codes 0-7 pick a range of the move-to-front list (3 bits each); code 8 is a 2-byte copy
    // with a 6-bit distance. Lengths 3 for codes 0-6, 4 for 7 and 8: 000..110, 1110, 1111.
    static const Range kLiteralRanges[] = {{0, 3},  {8, 3},   {16, 4},  {32, 5},
                                           {64, 5}, {96, 5}, {128, 6}, {192, 6}};
    auto putCode = [](BitWriter& out, unsigned code) {
        if (code < 7) out.Put(code, 3);
        else out.Put(code == 7 ? 0xE : 0xF, 4);
    };
    HistoryList history;
    MatchFinder matches(data);
    BitWriter out;
    out.PutBit(0);  // the decoder skips the first bit
    // The code table: 9 codes, shortest 3 bits, each length sent in 2 bits as 1 + length - 3.
    // Fewer than 10 codes means no offset table, now or at any later rebuild.
    out.Put(9, 5);
    out.Put(3, 3);
    out.Put(2, 3);
    for (unsigned code = 0; code < 9; ++code) out.Put(code < 7 ? 1 : 2, 2);

    // The decoder looks for new tables after 1, 2 and 4 KB and every 4 KB from there; from
    // 4 KB on it reads one bit (0: keep the tables) each time.
    size_t written = 0;
    auto outputted = [&](uint8_t b) {
        history.MoveToFront(b);
        ++written;
        if (written >= 4096 && written % 4096 == 0) out.PutBit(0);
    };
    for (size_t pos = 0; pos < data.size();) {
        Match m = matches.Find(pos, kMaxDistance, 2);
        if (m.length == 2) {
            putCode(out, 8);
            out.Put(static_cast<uint32_t>(m.distance - 1), 6);
            outputted(static_cast<uint8_t>(data[pos]));
            outputted(static_cast<uint8_t>(data[pos + 1]));
            pos += 2;
        } else {
            const uint8_t b = static_cast<uint8_t>(data[pos++]);
            const unsigned steps = history.StepsBack(b);
            const size_t range = RangeIndex(kLiteralRanges, 8, steps);
            putCode(out, static_cast<unsigned>(range));
            out.Put(steps - kLiteralRanges[range].base, kLiteralRanges[range].bits);
            outputted(b);
        }
    }
    return out.Finish();
}

}  // namespace kyro::test
