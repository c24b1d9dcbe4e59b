#include "sequencer/miditrack.h"

#include "sequencer/midifile.h"

#include <cstdio>
#include <cstdint>

namespace kyro::midi {

namespace {

constexpr std::uint8_t kMeta = 0xFF;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kSysEx = 0xF0;        // F0 <length> <data...>, data normally ending in F7
constexpr std::uint8_t kSysExEscape = 0xF7;  // F7 <length> <bytes sent as they are>

enum class Got { Ok, Cut, Bad };

std::string Hex(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

// Data bytes that follow a channel status: program change and channel pressure take one.
std::size_t DataLength(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// Data bytes that follow a system common status (F1-F6).
std::size_t CommonDataLength(std::uint8_t status) {
    switch (status) {
    case 0xF1: return 1;  // time code quarter frame
    case 0xF2: return 2;  // song position
    case 0xF3: return 1;  // song select
    default: return 0;    // F6 tune request; F4 and F5 are undefined and stand alone
    }
}

// F8-FE. FF is a real-time reset on a wire, but in a file it introduces a meta event.
bool IsRealTime(std::uint8_t b) { return b >= 0xF8 && b != kMeta; }

class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    bool AtEnd() const { return p_ == end_; }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

    bool Byte(std::uint8_t& b) {
        if (p_ == end_) return false;
        b = *p_++;
        return true;
    }

    // A variable-length quantity: 7 bits a byte, high bit set on all but the last, at most four
    // bytes (so at most 0x0FFFFFFF).
    Got Vlq(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b;
            if (!Byte(b)) return Got::Cut;
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80)) return Got::Ok;
        }
        return Got::Bad;
    }

    // The next n bytes, or nullptr when fewer are left.
    const std::uint8_t* Take(std::size_t n) {
        if (n > Left()) return nullptr;
        const std::uint8_t* start = p_;
        p_ += n;
        return start;
    }

    // n data bytes, appended to message. Real-time bytes may come between any two bytes on a
    // wire, so one here leaves the message whole and is skipped. Any other status byte breaks the
    // message and leaves unknown where the next delta time starts: Bad, with that byte in bad.
    Got Data(std::size_t n, std::vector<std::uint8_t>& message, std::uint8_t& bad) {
        while (n > 0) {
            std::uint8_t d;
            if (!Byte(d)) return Got::Cut;
            if (IsRealTime(d)) continue;
            if (d & 0x80) {
                bad = d;
                return Got::Bad;
            }
            message.push_back(d);
            --n;
        }
        return Got::Ok;
    }

    // A length (variable-length quantity) and that many bytes, as meta events and SysEx store
    // their data. Cut when the file ends first.
    Got Block(const std::uint8_t*& body, std::uint32_t& length) {
        const Got got = Vlq(length);
        if (got != Got::Ok) return got;
        body = Take(length);
        return body ? Got::Ok : Got::Cut;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

}  // namespace

TrackReadResult ReadTrack(const std::uint8_t* data, std::size_t size, std::size_t maxItems) {
    TrackReadResult r;
    Cursor in(data, size);
    std::uint64_t tick = 0;
    std::uint8_t running = 0;  // running status; 0 = none
    constexpr std::size_t kNoSysEx = SIZE_MAX;
    std::size_t openSysEx = kNoSysEx;  // the event of a SysEx whose F0 packet lacked its F7

    auto failed = [&r](std::string text) {
        r.outcome = TrackOutcome::Failed;
        r.error = std::move(text);
        return std::move(r);
    };
    auto tooLarge = [&r](std::string text) {
        r.outcome = TrackOutcome::TooLarge;
        r.error = std::move(text);
        return std::move(r);
    };
    auto cut = [&r]() {
        r.outcome = TrackOutcome::Cut;
        return std::move(r);
    };
    auto full = [&r, maxItems]() { return r.events.size() + r.tempos.size() >= maxItems; };
    const std::string tooMany =
        "MIDI ファイルのイベントが多すぎます (" + std::to_string(kMaxMidiEvents / 10000) + " 万を超えています)";

    while (!in.AtEnd()) {
        std::uint32_t delta;
        const Got got = in.Vlq(delta);
        if (got == Got::Cut) return cut();
        if (got == Got::Bad) return failed("可変長の数値が 4 バイトを超えています");
        tick += delta;

        std::uint8_t b;
        if (!in.Byte(b)) return cut();

        if (b == kMeta) {
            // Meta events and SysEx leave running status as it was: old sequencers wrote data
            // bytes after them that continue the last channel status.
            std::uint8_t type;
            if (!in.Byte(type)) return cut();
            if (type == kMetaEndOfTrack) {
                r.endTick = tick;  // whatever follows in the chunk is not part of the track
                return r;
            }
            const std::uint8_t* body = nullptr;
            std::uint32_t length = 0;
            const Got gotBlock = in.Block(body, length);
            if (gotBlock == Got::Cut) return cut();
            if (gotBlock == Got::Bad) return failed("可変長の数値が 4 バイトを超えています");
            // A tempo of 0 µs per quarter note would stop time; such a change is ignored.
            if (type == kMetaTempo && length >= 3) {
                const std::uint32_t us = (std::uint32_t{body[0]} << 16) | (body[1] << 8) | body[2];
                if (us != 0) {
                    if (full()) return tooLarge(tooMany);
                    r.tempos.push_back({tick, us});
                }
            }
        } else if (b == kSysEx || b == kSysExEscape) {
            const std::uint8_t* body = nullptr;
            std::uint32_t length = 0;
            const Got gotBlock = in.Block(body, length);
            if (gotBlock == Got::Cut) return cut();
            if (gotBlock == Got::Bad) return failed("可変長の数値が 4 バイトを超えています");
            if (std::size_t{length} + 2 > kMaxSysExBytes)
                return tooLarge("SysEx が大きすぎます (" + std::to_string(kMaxSysExBytes / 1024) + " KiB を超えています)");
            if (b == kSysExEscape && length == 0) {
                r.endTick = tick;
                continue;  // an empty escape sends nothing
            }
            const bool endsMessage = length > 0 && body[length - 1] == 0xF7;
            if (b == kSysExEscape && openSysEx != kNoSysEx) {
                // The next packet of a SysEx split into timed packets: a synthesizer takes only
                // whole messages, so it joins the first packet, which keeps its closing F7.
                std::vector<std::uint8_t>& m = r.events[openSysEx].message;
                if (m.size() + length > kMaxSysExBytes)
                    return tooLarge("SysEx が大きすぎます (" + std::to_string(kMaxSysExBytes / 1024) + " KiB を超えています)");
                m.pop_back();
                m.insert(m.end(), body, body + length);
                if (endsMessage) {
                    openSysEx = kNoSysEx;
                } else {
                    m.push_back(0xF7);
                }
                r.endTick = tick;
                continue;
            }
            if (full()) return tooLarge(tooMany);
            TrackEvent& e = r.events.emplace_back();
            e.tick = tick;
            // F0 form: the message is F0 and the data, closed with F7 when the data lacks it (the
            // packets that continue it may follow as F7 events).
            // F7 form: the bytes go out exactly as stored, without the F7 that introduced them.
            if (b == kSysEx) e.message.push_back(kSysEx);
            e.message.insert(e.message.end(), body, body + length);
            openSysEx = kNoSysEx;
            if (b == kSysEx && !endsMessage) {
                e.message.push_back(0xF7);
                openSysEx = r.events.size() - 1;
            }
        } else if (IsRealTime(b)) {
            // Clock, start, stop and the like mean nothing in a file: skipped, running status kept.
        } else if (b > kSysEx) {
            // System common messages (F1-F6) are skipped with their data. On a wire they cancel
            // running status, but in a file a data byte after one can only continue the last
            // channel status, so it is kept.
            std::vector<std::uint8_t> skipped;
            std::uint8_t bad = 0;
            const Got gotData = in.Data(CommonDataLength(b), skipped, bad);
            if (gotData == Got::Cut) return cut();
            if (gotData == Got::Bad)
                return failed("システムコモンメッセージ (" + Hex(b) + ") の途中に不正なバイト (" + Hex(bad) +
                              ") があります");
        } else {
            std::vector<std::uint8_t> message;
            std::size_t wanted = 0;
            if (b & 0x80) {
                running = b;
                message.push_back(b);
                wanted = DataLength(running);
            } else {
                if (!running) return failed("ランニングステータスの前にステータスバイトがありません");
                message.push_back(running);
                message.push_back(b);
                wanted = DataLength(running) - 1;
            }
            std::uint8_t bad = 0;
            const Got gotData = in.Data(wanted, message, bad);
            if (gotData == Got::Cut) return cut();
            if (gotData == Got::Bad) return failed("チャンネルメッセージの途中に不正なバイト (" + Hex(bad) + ") があります");
            if (full()) return tooLarge(tooMany);
            r.events.push_back({tick, std::move(message)});
            openSysEx = kNoSysEx;
        }
        r.endTick = tick;
    }
    return r;
}

}  // namespace kyro::midi
