#include "sequencer/midiexport.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace kyro {

namespace {

constexpr std::uint64_t kMaxQuarterDivision = 0x7FFF;
constexpr std::uint64_t kMaxFrameDivision = 0xFF;
constexpr std::uint32_t kMaxDelta = 0x0FFFFFFF;  // what four bytes of a variable-length quantity hold
constexpr std::uint32_t kMaxUsPerQuarter = 0xFFFFFF;

// The division word, and how score ticks become file ticks: round(tick x num / den).
struct FileTimeBase {
    std::uint16_t division = 0;
    std::uint64_t num = 1;
    std::uint64_t den = 1;

    std::uint64_t Tick(std::uint64_t scoreTick) const {
        return static_cast<std::uint64_t>((static_cast<unsigned __int128>(scoreTick) * num + den / 2) / den);
    }
};

// The smallest divisor of n that is at least `least`; 0 when there is none.
std::uint64_t SmallestDivisorAtLeast(std::uint64_t n, std::uint64_t least) {
    std::uint64_t best = 0;
    for (std::uint64_t i = 1; i * i <= n; ++i) {
        if (n % i) continue;
        for (const std::uint64_t d : {i, n / i})
            if (d >= least && (best == 0 || d < best)) best = d;
    }
    return best;
}

FileTimeBase ChooseTimeBase(const SongScore& score) {
    const ScoreTimeBase& base = score.timeBase;
    const bool smpte = base.smpteFps != 0;
    const std::uint64_t units = smpte ? base.ticksPerFrame : base.ticksPerQuarter;
    const std::uint64_t limit = smpte ? kMaxFrameDivision : kMaxQuarterDivision;
    FileTimeBase file;
    std::uint64_t written = units;
    if (units > limit) {
        // Dividing the division and every tick by a common factor leaves every time as it was.
        std::uint64_t common = std::gcd(units, score.endTick);
        for (const ScoreEvent& e : score.events) common = std::gcd(common, e.tick);
        for (const midi::TempoChange& t : score.tempos) common = std::gcd(common, t.tick);
        const std::uint64_t factor = SmallestDivisorAtLeast(common, (units + limit - 1) / limit);
        if (factor) {
            file.den = factor;
            written = units / factor;
        } else {
            file.num = limit;
            file.den = units;
            written = limit;
        }
    }
    file.division = smpte ? static_cast<std::uint16_t>((static_cast<std::uint8_t>(-base.smpteFps) << 8) | written)
                          : static_cast<std::uint16_t>(written);
    return file;
}

// Data bytes that follow a channel status: program change and channel pressure take one.
std::size_t DataLength(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

bool IsWholeChannelMessage(const std::vector<std::uint8_t>& m) {
    if (m.size() != 1 + DataLength(m[0])) return false;
    return std::all_of(m.begin() + 1, m.end(), [](std::uint8_t b) { return b < 0x80; });
}

// One MTrk chunk's body, written event by event at nondecreasing ticks.
class TrackWriter {
public:
    bool Empty() const { return bytes_.empty(); }

    void Meta(std::uint64_t tick, std::uint8_t type, const std::uint8_t* data, std::size_t size) {
        Delta(tick);
        bytes_.push_back(0xFF);
        bytes_.push_back(type);
        Block(data, size);
    }

    void Tempo(std::uint64_t tick, std::uint32_t usPerQuarter) {
        const std::uint32_t us = std::min(usPerQuarter, kMaxUsPerQuarter);
        const std::uint8_t data[] = {static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8),
                                     static_cast<std::uint8_t>(us)};
        Meta(tick, 0x51, data, sizeof data);
    }

    // A message as it is sent: a channel message as it stands, a SysEx F0 ... F7 in the F0 form,
    // any other bytes as an F7 escape, which the reader hands on exactly as stored.
    void Message(std::uint64_t tick, const std::vector<std::uint8_t>& m) {
        Delta(tick);
        if (m[0] >= 0x80 && m[0] < 0xF0 && IsWholeChannelMessage(m)) {
            bytes_.insert(bytes_.end(), m.begin(), m.end());
        } else if (m[0] == 0xF0 && m.size() >= 2 && m.back() == 0xF7) {
            bytes_.push_back(0xF0);
            Block(m.data() + 1, m.size() - 1);
        } else {
            bytes_.push_back(0xF7);
            Block(m.data(), m.size());
        }
    }

    // FF 2F at `tick`, or at the last event when that is later.
    std::vector<std::uint8_t> Finish(std::uint64_t tick) {
        Meta(std::max(tick, at_), 0x2F, nullptr, 0);
        return std::move(bytes_);
    }

private:
    void Vlq(std::uint32_t value) {
        std::uint8_t groups[4];
        int n = 0;
        do {
            groups[n++] = value & 0x7F;
            value >>= 7;
        } while (value && n < 4);
        while (n > 1) bytes_.push_back(groups[--n] | 0x80);
        bytes_.push_back(groups[0]);
    }

    // A gap longer than one delta time holds is bridged by empty text events.
    void Delta(std::uint64_t tick) {
        std::uint64_t delta = tick - at_;
        at_ = tick;
        while (delta > kMaxDelta) {
            Vlq(kMaxDelta);
            bytes_.insert(bytes_.end(), {0xFF, 0x01, 0x00});
            delta -= kMaxDelta;
        }
        Vlq(static_cast<std::uint32_t>(delta));
    }

    void Block(const std::uint8_t* data, std::size_t size) {
        Vlq(static_cast<std::uint32_t>(size));
        if (size) bytes_.insert(bytes_.end(), data, data + size);
    }

    std::vector<std::uint8_t> bytes_;
    std::uint64_t at_ = 0;
};

void PutBe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* tag, const std::vector<std::uint8_t>& body) {
    out.insert(out.end(), tag, tag + 4);
    PutBe(out, static_cast<std::uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<std::uint8_t> ExportOrdered(const SongScore& score) {
    const FileTimeBase base = ChooseTimeBase(score);
    TrackWriter conductor;
    std::array<TrackWriter, 16> channels;

    if (!score.title.empty())
        conductor.Meta(0, 0x03, reinterpret_cast<const std::uint8_t*>(score.title.data()), score.title.size());
    if (score.meterNumerator) {
        std::uint8_t power = 0;
        while (power < 7 && (1u << (power + 1)) <= score.meterDenominator) ++power;
        const std::uint8_t meter[] = {score.meterNumerator, power, 24, 8};  // a click a quarter, 8 32nds a quarter
        conductor.Meta(0, 0x58, meter, sizeof meter);
    }

    auto tempo = score.tempos.begin();
    auto temposUpTo = [&](std::uint64_t tick) {
        for (; tempo != score.tempos.end() && base.Tick(tempo->tick) <= tick; ++tempo)
            conductor.Tempo(base.Tick(tempo->tick), tempo->usPerQuarter);
    };
    for (const ScoreEvent& e : score.events) {
        if (e.message.empty()) continue;
        const std::uint64_t tick = base.Tick(e.tick);
        const std::uint8_t status = e.message[0];
        if (status >= 0x80 && status < 0xF0) {
            channels[status & 0x0F].Message(tick, e.message);
        } else {
            temposUpTo(tick);
            conductor.Message(tick, e.message);
        }
    }
    temposUpTo(UINT64_MAX);

    const std::uint64_t end = base.Tick(score.endTick);
    std::vector<std::vector<std::uint8_t>> tracks{conductor.Finish(end)};
    for (TrackWriter& channel : channels)
        if (!channel.Empty()) tracks.push_back(channel.Finish(end));

    static constexpr std::uint8_t kHeader[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};  // 6 bytes follow; format 1
    std::vector<std::uint8_t> file(std::begin(kHeader), std::end(kHeader));
    PutBe(file, static_cast<std::uint32_t>(tracks.size()), 2);
    PutBe(file, base.division, 2);
    for (const auto& track : tracks) PutChunk(file, "MTrk", track);
    return file;
}

}  // namespace

std::vector<std::uint8_t> ExportStandardMidiFile(const SongScore& score) {
    const auto byTick = [](const ScoreEvent& a, const ScoreEvent& b) { return a.tick < b.tick; };
    const auto tempoByTick = [](const midi::TempoChange& a, const midi::TempoChange& b) { return a.tick < b.tick; };
    if (std::is_sorted(score.events.begin(), score.events.end(), byTick) &&
        std::is_sorted(score.tempos.begin(), score.tempos.end(), tempoByTick))
        return ExportOrdered(score);
    // Delta times cannot go back: a score out of order is written as it would be played.
    SongScore ordered = score;
    OrderScoreEvents(ordered.events);
    std::stable_sort(ordered.tempos.begin(), ordered.tempos.end(), tempoByTick);
    return ExportOrdered(ordered);
}

}  // namespace kyro
