#include "smfwriter.h"

#include <algorithm>
#include <cmath>

namespace kyro::demo {

namespace {

void AppendVarLen(std::string& out, std::uint32_t v) {
    char groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<char>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n > 1) out += static_cast<char>(groups[--n] | 0x80);
    out += groups[0];
}

void AppendBe(std::string& out, std::uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Chunk(const char* type, const std::string& body) {
    std::string out(type, 4);
    AppendBe(out, static_cast<std::uint32_t>(body.size()), 4);
    return out + body;
}

std::string TrackBody(std::vector<TimedEvent> events, std::uint32_t endTick) {
    std::stable_sort(events.begin(), events.end(), [](const TimedEvent& a, const TimedEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.rank < b.rank;
    });
    std::string body;
    std::uint32_t now = 0;
    for (const TimedEvent& e : events) {
        AppendVarLen(body, e.tick - now);
        body += e.bytes;
        now = e.tick;
    }
    AppendVarLen(body, std::max(endTick, now) - now);
    body += std::string("\xFF\x2F\x00", 3);  // end of track
    return body;
}

}  // namespace

void SmfBuilder::Add(int track, TimedEvent e) { tracks_.at(track).push_back(std::move(e)); }

void SmfBuilder::Meta(int track, std::uint32_t tick, std::uint8_t type, const std::string& data) {
    std::string bytes{'\xFF', static_cast<char>(type)};
    AppendVarLen(bytes, static_cast<std::uint32_t>(data.size()));
    Add(track, {tick, 0, bytes + data});
}

void SmfBuilder::Tempo(std::uint32_t tick, double bpm) {
    std::string us;
    AppendBe(us, static_cast<std::uint32_t>(std::lround(60'000'000.0 / bpm)), 3);  // us per quarter
    Meta(0, tick, 0x51, us);
}

void SmfBuilder::TimeSignature(std::uint32_t tick, int beatsPerBar) {
    // numerator, denominator as a power of two (4), 24 clocks a metronome click, 8 32nds a quarter
    Meta(0, tick, 0x58, std::string{static_cast<char>(beatsPerBar), 2, 24, 8});
}

void SmfBuilder::Control(int track, std::uint32_t tick, int channel, int controller, int value) {
    Add(track, {tick, 1, {static_cast<char>(0xB0 | channel), static_cast<char>(controller), static_cast<char>(value)}});
}

void SmfBuilder::Program(int track, std::uint32_t tick, int channel, int program) {
    Add(track, {tick, 1, {static_cast<char>(0xC0 | channel), static_cast<char>(program)}});
}

void SmfBuilder::Note(int track, std::uint32_t tick, std::uint32_t length, int channel, int key, int velocity) {
    Add(track, {tick, 3, {static_cast<char>(0x90 | channel), static_cast<char>(key), static_cast<char>(velocity)}});
    Add(track, {tick + length, 2, {static_cast<char>(0x80 | channel), static_cast<char>(key), 0x40}});
}

std::uint32_t SmfBuilder::LastTick() const {
    std::uint32_t last = 0;
    for (const auto& t : tracks_)
        for (const TimedEvent& e : t) last = std::max(last, e.tick);
    return last;
}

std::string SmfBuilder::Build(int format, std::uint32_t endTick) const {
    std::vector<std::string> bodies;
    if (format == 0) {
        std::vector<TimedEvent> all;
        for (const auto& t : tracks_) all.insert(all.end(), t.begin(), t.end());
        bodies.push_back(TrackBody(all, endTick));
    } else {
        for (const auto& t : tracks_) bodies.push_back(TrackBody(t, endTick));
    }
    std::string header;
    AppendBe(header, static_cast<std::uint32_t>(format), 2);
    AppendBe(header, static_cast<std::uint32_t>(bodies.size()), 2);
    AppendBe(header, kTicksPerQuarter, 2);
    std::string file = Chunk("MThd", header);
    for (const std::string& body : bodies) file += Chunk("MTrk", body);
    return file;
}

}  // namespace kyro::demo
