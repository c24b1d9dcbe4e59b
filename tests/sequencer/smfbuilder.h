#pragma once
// Builds Standard MIDI File bytes for tests: tracks event by event, chunks with true or false
// lengths, the header, and the RIFF "RMID" wrapper.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kyro::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Vlq(std::uint32_t value) {
    Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7) out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

inline void AppendBe(Bytes& to, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

class TrackBuilder {
public:
    // Bytes exactly as given (for broken tracks).
    TrackBuilder& Raw(std::initializer_list<int> bytes) {
        for (int b : bytes) bytes_.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    // A delta time and the bytes of an event (a status may be left out for running status).
    TrackBuilder& Event(std::uint32_t delta, std::initializer_list<int> bytes) {
        Append(bytes_, Vlq(delta));
        return Raw(bytes);
    }
    TrackBuilder& Meta(std::uint32_t delta, std::uint8_t type, const Bytes& data) {
        Append(bytes_, Vlq(delta));
        bytes_.push_back(0xFF);
        bytes_.push_back(type);
        Append(bytes_, Vlq(static_cast<std::uint32_t>(data.size())));
        Append(bytes_, data);
        return *this;
    }
    TrackBuilder& Tempo(std::uint32_t delta, std::uint32_t usPerQuarter) {
        return Meta(delta, 0x51, {static_cast<std::uint8_t>(usPerQuarter >> 16),
                                  static_cast<std::uint8_t>(usPerQuarter >> 8),
                                  static_cast<std::uint8_t>(usPerQuarter)});
    }
    // form is 0xF0 or 0xF7; data follows the length as given.
    TrackBuilder& SysEx(std::uint32_t delta, std::uint8_t form, const Bytes& data) {
        Append(bytes_, Vlq(delta));
        bytes_.push_back(form);
        Append(bytes_, Vlq(static_cast<std::uint32_t>(data.size())));
        Append(bytes_, data);
        return *this;
    }
    TrackBuilder& EndOfTrack(std::uint32_t delta) { return Meta(delta, 0x2F, {}); }

    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// A chunk whose length field says declaredLength (normally body.size()).
inline Bytes ChunkClaiming(const std::string& tag, std::uint32_t declaredLength, const Bytes& body) {
    Bytes out(tag.begin(), tag.end());
    AppendBe(out, declaredLength, 4);
    Append(out, body);
    return out;
}
inline Bytes Chunk(const std::string& tag, const Bytes& body) {
    return ChunkClaiming(tag, static_cast<std::uint32_t>(body.size()), body);
}

inline Bytes Header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes body;
    AppendBe(body, format, 2);
    AppendBe(body, tracks, 2);
    AppendBe(body, division, 2);
    return Chunk("MThd", body);
}

// SMPTE division word: frames per second (24, 25, 29, 30) and ticks per frame.
inline std::uint16_t SmpteDivision(int framesPerSecond, int ticksPerFrame) {
    return static_cast<std::uint16_t>(((-framesPerSecond) & 0xFF) << 8 | (ticksPerFrame & 0xFF));
}

inline Bytes Smf(std::uint16_t format, std::uint16_t division, const std::vector<TrackBuilder>& tracks) {
    Bytes out = Header(format, static_cast<std::uint16_t>(tracks.size()), division);
    for (const TrackBuilder& t : tracks) Append(out, Chunk("MTrk", t.bytes()));
    return out;
}

inline void AppendLe32(Bytes& to, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// RIFF "RMID" around a Standard MIDI File, with an odd-sized chunk before "data" so that the
// padding rule is exercised.
inline Bytes Rmid(const Bytes& smf) {
    Bytes chunks;
    const std::string info = "LIST";
    chunks.insert(chunks.end(), info.begin(), info.end());
    AppendLe32(chunks, 3);
    Append(chunks, {'a', 'b', 'c', 0});  // three bytes and the pad byte
    const std::string data = "data";
    chunks.insert(chunks.end(), data.begin(), data.end());
    AppendLe32(chunks, static_cast<std::uint32_t>(smf.size()));
    Append(chunks, smf);
    Bytes out{'R', 'I', 'F', 'F'};
    AppendLe32(out, static_cast<std::uint32_t>(chunks.size() + 4));
    Append(out, {'R', 'M', 'I', 'D'});
    Append(out, chunks);
    return out;
}

}  // namespace kyro::test
