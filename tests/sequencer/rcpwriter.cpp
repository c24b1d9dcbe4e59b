#include "rcpwriter.h"

#include <algorithm>
#include <cstring>

namespace kyro::test {

namespace {

constexpr char kSignature2[] = "RCM-PC98V2.0(C)COME ON MUSIC\r\n";  // and two NULs
constexpr char kSignature3[] = "COME ON MUSIC RECOMPOSER RCP3.0";  // and one NUL

struct Layout {
    std::size_t headerSize, titleBytes, memoOffset, memoLineBytes, rhythmOffset, rhythmCount, exclusiveOffset;
    std::size_t trackHeaderSize, recordSize;
};
constexpr Layout kV2{0x586, 64, 0x60, 28, 0x206, 32, 0x406, 44, 4};
constexpr Layout kV3{0xC98, 128, 0xA0, 30, 0x318, 128, 0xB18, 46, 6};

const Layout& LayoutOf(RcpGeneration g) { return g == RcpGeneration::V2 ? kV2 : kV3; }

void PutText(std::vector<std::uint8_t>& out, std::size_t at, const std::string& text, std::size_t field) {
    std::fill(out.begin() + at, out.begin() + at + field, ' ');
    std::memcpy(out.data() + at, text.data(), std::min(text.size(), field));
}

void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint8_t TrackCount(const RcpSong& song) {
    if (song.trackCountField) return *song.trackCountField;
    return song.tracks.size() <= 18 ? 18 : 36;
}

std::vector<std::uint8_t> Header(const RcpSong& song) {
    const Layout& l = LayoutOf(song.generation);
    std::vector<std::uint8_t> out(l.headerSize, 0);
    if (song.generation == RcpGeneration::V2) {
        std::memcpy(out.data(), kSignature2, sizeof kSignature2 - 1);
    } else {
        std::memcpy(out.data(), kSignature3, sizeof kSignature3 - 1);
    }
    PutText(out, 0x20, song.title, l.titleBytes);
    for (std::size_t line = 0; line < 12; ++line)
        PutText(out, l.memoOffset + line * l.memoLineBytes, line < song.memo.size() ? song.memo[line] : "",
                l.memoLineBytes);
    for (std::size_t i = 0; i < l.rhythmCount; ++i) {
        const std::size_t at = l.rhythmOffset + i * 16;
        PutText(out, at, "", 14);
        out[at + 14] = static_cast<std::uint8_t>(35 + i % 47);  // a drum key, as editors preset them
        out[at + 15] = 1;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = l.exclusiveOffset + i * 48;
        PutText(out, at, "", 24);
        std::fill(out.begin() + at + 24, out.begin() + at + 48, 0xF7);
        const std::vector<std::uint8_t>& body = song.userExclusive[i];
        std::copy_n(body.begin(), std::min<std::size_t>(body.size(), 24), out.begin() + at + 24);
    }
    if (song.generation == RcpGeneration::V2) {
        std::fill(out.begin() + 0x1B0, out.begin() + 0x1C0, 0x40);
        out[0x1C0] = static_cast<std::uint8_t>(song.timeBase);
        out[0x1C1] = static_cast<std::uint8_t>(song.tempo);
        out[0x1C2] = song.meterNumerator;
        out[0x1C3] = song.meterDenominator;
        out[0x1C4] = song.key;
        out[0x1C5] = static_cast<std::uint8_t>(song.playBias);
        out[0x1E6] = TrackCount(song);
        out[0x1E7] = static_cast<std::uint8_t>(song.timeBase >> 8);
    } else {
        PutLe(out, 0x208, TrackCount(song), 2);
        PutLe(out, 0x20A, song.timeBase, 2);
        PutLe(out, 0x20C, song.tempo, 2);
        out[0x20E] = song.meterNumerator;
        out[0x20F] = song.meterDenominator;
        out[0x210] = song.key;
        out[0x211] = static_cast<std::uint8_t>(song.playBias);
        std::fill(out.begin() + 0x218, out.begin() + 0x228, 0x40);
    }
    return out;
}

void PutRecord(std::vector<std::uint8_t>& out, RcpGeneration g, const RcpRecord& r) {
    if (g == RcpGeneration::V2) {
        out.insert(out.end(), {r.code, static_cast<std::uint8_t>(r.step), static_cast<std::uint8_t>(r.p1), r.p2});
    } else {
        out.insert(out.end(), {r.code, r.p2, static_cast<std::uint8_t>(r.step), static_cast<std::uint8_t>(r.step >> 8),
                               static_cast<std::uint8_t>(r.p1), static_cast<std::uint8_t>(r.p1 >> 8)});
    }
}

std::size_t TrackBytes(RcpGeneration g, const RcpTrack& t) {
    const Layout& l = LayoutOf(g);
    return l.trackHeaderSize + (t.records.size() + (t.endOfTrack ? 1 : 0)) * l.recordSize;
}

void PutTrack(std::vector<std::uint8_t>& out, RcpGeneration g, const RcpTrack& t, std::size_t number) {
    const Layout& l = LayoutOf(g);
    const std::size_t start = out.size();
    out.resize(start + l.trackHeaderSize, 0);
    const std::uint32_t size = t.sizeField.value_or(static_cast<std::uint32_t>(TrackBytes(g, t)));
    const std::size_t fields = g == RcpGeneration::V2 ? 2 : 4;  // after the size field
    PutLe(out, start, size, static_cast<int>(fields));
    out[start + fields] = static_cast<std::uint8_t>(number);
    out[start + fields + 1] = t.rhythm;
    out[start + fields + 2] = t.channel;
    out[start + fields + 3] = t.keyShift;
    out[start + fields + 4] = static_cast<std::uint8_t>(t.stepShift);
    out[start + fields + 5] = t.mode;
    PutText(out, start + fields + 6, t.comment, 36);
    for (const RcpRecord& r : t.records) PutRecord(out, g, r);
    if (t.endOfTrack) PutRecord(out, g, {0xFE, 0xFE, 0xFE, 0xFE});
}

}  // namespace

std::vector<RcpRecord> Continuation(RcpGeneration generation, const std::vector<std::uint8_t>& bytes) {
    const std::size_t perRecord = generation == RcpGeneration::V2 ? 2 : 5;
    std::vector<RcpRecord> records;
    for (std::size_t i = 0; i < bytes.size(); i += perRecord) {
        std::uint8_t b[5];
        for (std::size_t k = 0; k < 5; ++k) b[k] = i + k < bytes.size() && k < perRecord ? bytes[i + k] : 0xF7;
        if (generation == RcpGeneration::V2) {
            records.push_back({0xF7, 0, b[0], b[1]});
        } else {
            records.push_back({0xF7, static_cast<std::uint16_t>(b[1] | (b[2] << 8)),
                               static_cast<std::uint16_t>(b[3] | (b[4] << 8)), b[0]});
        }
    }
    return records;
}

std::vector<std::uint8_t> WriteRcp(const RcpSong& song) {
    std::vector<std::uint8_t> out = Header(song);
    const std::size_t count = song.padTracks ? std::max<std::size_t>(song.tracks.size(), TrackCount(song))
                                             : song.tracks.size();
    for (std::size_t i = 0; i < count; ++i)
        PutTrack(out, song.generation, i < song.tracks.size() ? song.tracks[i] : RcpTrack{}, i + 1);
    out.insert(out.end(), song.trailer.begin(), song.trailer.end());
    return out;
}

RcpRecord SameMeasure(RcpGeneration generation, std::uint16_t measure, std::uint32_t recordIndex) {
    if (generation == RcpGeneration::V2) {
        const std::uint32_t offset = kV2.trackHeaderSize + recordIndex * kV2.recordSize;  // from the track's start
        return {0xFC, static_cast<std::uint16_t>(measure & 0xFF),
                static_cast<std::uint16_t>((offset & 0xFC) | ((measure >> 8) & 3)),
                static_cast<std::uint8_t>(offset >> 8)};
    }
    return {0xFC, measure, static_cast<std::uint16_t>(recordIndex + 0x30), 0};
}

std::size_t RcpTrackOffset(const RcpSong& song, std::size_t index) {
    std::size_t at = LayoutOf(song.generation).headerSize;
    for (std::size_t i = 0; i < index; ++i)
        at += TrackBytes(song.generation, i < song.tracks.size() ? song.tracks[i] : RcpTrack{});
    return at;
}

}  // namespace kyro::test
