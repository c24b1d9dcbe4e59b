#include "sequencer/rcpheader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kyro::rcp {

namespace {

constexpr std::string_view kSignature2 = "RCM-PC98V2.0(C)COME ON MUSIC";     // then CR LF NUL NUL
constexpr std::string_view kSignature3 = "COME ON MUSIC RECOMPOSER RCP3.0";  // then NUL

// Where the two generations keep things.
struct Layout {
    std::size_t headerSize;
    std::size_t titleBytes;
    std::size_t exclusiveOffset;  // 8 entries of 48 bytes: a comment, then the message body
    std::size_t trackHeaderSize;
    std::size_t recordSize;
};
constexpr Layout kLayout2{0x586, 64, 0x406, 44, 4};
constexpr Layout kLayout3{0xC98, 128, 0xB18, 46, 6};

constexpr std::uint8_t kEndOfTrack = 0xFE;
constexpr std::uint8_t kEndOfTrackToo = 0xFF;  // a few files end their tracks with it

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

std::string Text(const std::uint8_t* p, std::size_t n) {
    std::size_t end = 0;
    while (end < n && p[end] != 0) ++end;
    while (end > 0 && p[end - 1] == ' ') --end;
    return std::string(reinterpret_cast<const char*>(p), end);
}

// A message body up to its first F7 (the rest of the field is padding).
std::vector<std::uint8_t> Body(const std::uint8_t* p, std::size_t n) {
    const std::uint8_t* end = std::find(p, p + n, 0xF7);
    return {p, end};
}

// The user exclusive's body. 2.x splits each entry 24 + 24. For 3.x files both a 24 + 24 and a
// 23 + 25 split are found; a space at offset 23 is comment padding (no maker's ID the files use
// is 0x20), so it tells the 24 + 24 split.
std::vector<std::uint8_t> UserExclusive(const std::uint8_t* entry, Generation generation) {
    std::size_t bodyStart = 24;
    if (generation == Generation::V3 && entry[23] != ' ') bodyStart = 23;
    return Body(entry + bodyStart, 48 - bodyStart);
}

bool IsPowerOfTwoMeter(std::uint8_t d) { return d == 2 || d == 4 || d == 8 || d == 16; }

// The song settings, with the fallbacks that keep a damaged header playable.
void ReadSettings(const std::uint8_t* d, Generation g, Header& h, std::size_t& trackCount, bool& countGiven) {
    std::uint32_t timeBase = 0, tempo = 0;
    std::uint8_t numerator = 0, denominator = 0;
    std::int8_t bias = 0;
    if (g == Generation::V2) {
        countGiven = d[0x1E6] != 0;
        // Old files have no track count and keep garbage in the time base's high byte.
        timeBase = d[0x1C0] + (countGiven ? d[0x1E7] * 256u : 0u);
        tempo = d[0x1C1];
        numerator = d[0x1C2];
        denominator = d[0x1C3];
        bias = static_cast<std::int8_t>(d[0x1C5]);
        trackCount = d[0x1E6] > 18 ? 36 : 18;  // 0 in old files: 18
    } else {
        countGiven = true;
        const std::uint32_t count = Le16(d + 0x208);
        trackCount = count >= 1 && count <= 36 ? count : 36;
        timeBase = Le16(d + 0x20A);
        tempo = Le16(d + 0x20C);
        numerator = d[0x20E];
        denominator = d[0x20F];
        bias = static_cast<std::int8_t>(d[0x211]);
    }
    h.timeBase = timeBase ? timeBase : 48;
    h.tempoBpm = tempo >= 8 && tempo <= 250 ? tempo : 120;
    h.playBias = bias >= -36 && bias <= 36 ? bias : 0;
    h.meterNumerator = numerator >= 1 && numerator <= 32 ? numerator : 4;
    h.meterDenominator = IsPowerOfTwoMeter(denominator) ? denominator : 4;
}

bool IsEndRecord(const std::uint8_t* r) { return r[0] == kEndOfTrack || r[0] == kEndOfTrackToo; }

// The track's true size. The stated one is used when it ends, inside the file, on an
// end-of-track record; else (wrong sizes are common) the track runs to its first end-of-track
// record, or to the end of the file.
std::size_t TrackSize(const std::uint8_t* start, std::size_t available, std::size_t stated, const Layout& l,
                      bool& cutShort) {
    cutShort = false;
    const bool statedFits = stated >= l.trackHeaderSize + l.recordSize && stated <= available &&
                            (stated - l.trackHeaderSize) % l.recordSize == 0;
    if (statedFits && IsEndRecord(start + stated - l.recordSize)) return stated;
    std::size_t at = l.trackHeaderSize;
    for (; at + l.recordSize <= available; at += l.recordSize)
        if (IsEndRecord(start + at)) return at + l.recordSize;
    cutShort = true;
    return at;
}

}  // namespace

bool SignatureOf(const std::uint8_t* data, std::size_t size, Generation& generation) {
    if (!data) return false;
    const std::string_view start(reinterpret_cast<const char*>(data), size);
    if (start.starts_with(kSignature2)) {
        generation = Generation::V2;
        return true;
    }
    if (start.starts_with(kSignature3)) {
        generation = Generation::V3;
        return true;
    }
    return false;
}

HeaderResult ReadHeader(const std::uint8_t* data, std::size_t size) {
    HeaderResult result;
    Header& h = result.header;
    if (!SignatureOf(data, size, h.generation)) {
        result.error = "RCP ファイルではありません";
        return result;
    }
    const Layout& l = h.generation == Generation::V2 ? kLayout2 : kLayout3;
    if (size < l.headerSize + l.trackHeaderSize) {
        result.error = "RCP ファイルが途中で切れています (トラックがありません)";
        return result;
    }
    h.recordSize = l.recordSize;
    h.title = Text(data + 0x20, l.titleBytes);
    std::size_t trackCount = 18;
    bool countGiven = true;
    ReadSettings(data, h.generation, h, trackCount, countGiven);
    for (std::size_t i = 0; i < 8; ++i)
        h.userExclusive[i] = UserExclusive(data + l.exclusiveOffset + i * 48, h.generation);

    std::size_t at = l.headerSize;
    while (h.tracks.size() < trackCount && size - at >= l.trackHeaderSize) {
        const std::uint8_t* t = data + at;
        if (std::memcmp(t, "RCFW", 4) == 0) break;  // a footer some tools write after the tracks
        std::size_t stated = 0;
        std::size_t fields = 0;  // where the fields after the size start
        if (h.generation == Generation::V2) {
            // Some tools keep bits 16-17 of the size in its low bits, which records never use.
            const std::uint32_t raw = Le16(t);
            stated = (raw & 0xFFFC) | ((raw & 3) << 16);
            fields = 2;
        } else {
            stated = Le32(t);
            fields = 4;
        }
        TrackInfo track;
        track.start = t;
        track.headerSize = l.trackHeaderSize;
        const std::size_t trackSize = TrackSize(t, size - at, stated, l, track.cutShort);
        track.recordCount = (trackSize - l.trackHeaderSize) / l.recordSize;
        const std::uint8_t channel = t[fields + 2];
        track.channel = channel < 0x20 ? (channel & 0x0F) : kChannelOff;
        track.keyShift = t[fields + 3];
        track.stepShiftByte = t[fields + 4];
        track.muted = (t[fields + 5] & 1) != 0;  // other bits are editor states
        h.tracks.push_back(track);
        at += trackSize;
        if (track.cutShort) break;
    }
    h.cutShort = (!h.tracks.empty() && h.tracks.back().cutShort) ||
                 (h.tracks.size() < trackCount && size - at < l.trackHeaderSize);
    // Early editors stored ST+ unsigned. Files that give their track count are newer; for the
    // others, signed only when every track's value is within the editors' -99..+99.
    if (!countGiven) {
        h.stepShiftSigned = std::all_of(h.tracks.begin(), h.tracks.end(), [](const TrackInfo& t) {
            const int v = static_cast<std::int8_t>(t.stepShiftByte);
            return v >= -99 && v <= 99;
        });
    }
    result.ok = true;
    return result;
}

int StepShift(const Header& header, const TrackInfo& track) {
    return header.stepShiftSigned ? static_cast<std::int8_t>(track.stepShiftByte) : track.stepShiftByte;
}

}  // namespace kyro::rcp
