#include "sequencer/rcpplay.h"

#include "sequencer/rcpexclusive.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <queue>

namespace kyro::rcp {

namespace {

// Commands by their code (notes are codes below 0x80).
enum : std::uint8_t {
    kUserExclusive1 = 0x90,
    kUserExclusive8 = 0x97,
    kTrackExclusive = 0x98,
    kExternalCommand = 0x99,
    kYamahaBase = 0xD0,
    kYamahaDevice = 0xD1,
    kYamahaParameter = 0xD2,
    kRolandBase = 0xDD,
    kRolandParameter = 0xDE,
    kRolandDevice = 0xDF,
    kBankLsbProgram = 0xE1,
    kBankMsbProgram = 0xE2,
    kKeyScan = 0xE5,
    kChannelChange = 0xE6,
    kTempo = 0xE7,
    kChannelPressure = 0xEA,
    kControlChange = 0xEB,
    kProgramChange = 0xEC,
    kKeyPressure = 0xED,
    kPitchBend = 0xEE,
    kKeySignature = 0xF5,
    kComment = 0xF6,
    kContinuation = 0xF7,
    kLoopEnd = 0xF8,
    kLoopStart = 0xF9,
    kSameMeasure = 0xFC,
    kMeasureEnd = 0xFD,
    kEndOfTrack = 0xFE,
    kEndOfTrackToo = 0xFF,
};

// Codes that are sent as a fixed exclusive message (FM, XG and rack module parameters).
bool IsFixedExclusive(std::uint8_t code) {
    return (code >= 0xC0 && code <= 0xCF && code != 0xC4) || code == 0xD3 || code == 0xDC;
}

// One record in the fields both generations share. For a note: key = code, p1 = gate, p2 = velocity.
struct Record {
    std::uint8_t code = 0;
    std::uint32_t step = 0;
    std::uint32_t p1 = 0;
    std::uint8_t p2 = 0;
};

// The notes sounding on a track: when each one ends, and a queue of those ends in time order
// (an entry whose note was tied on since, or already released, is skipped).
class SoundingNotes {
public:
    static constexpr std::uint64_t kSilent = UINT64_MAX;

    SoundingNotes() {
        for (auto& channel : offTick_) std::fill(std::begin(channel), std::end(channel), kSilent);
    }

    std::uint64_t OffTick(std::uint8_t channel, std::uint8_t key) const { return offTick_[channel][key]; }

    // Starts a note, or moves the end of one that sounds (a tie).
    void SetOffTick(std::uint8_t channel, std::uint8_t key, std::uint64_t tick) {
        offTick_[channel][key] = tick;
        queue_.push({tick, order_++, channel, key});
    }

    // Takes the next note ending by `tick`, in the order of their ends (then of their starts).
    bool NextDue(std::uint64_t tick, std::uint8_t& channel, std::uint8_t& key, std::uint64_t& offTick) {
        while (!queue_.empty() && queue_.top().offTick <= tick) {
            const Entry e = queue_.top();
            queue_.pop();
            if (offTick_[e.channel][e.key] != e.offTick) continue;  // tied on, or gone
            offTick_[e.channel][e.key] = kSilent;
            channel = e.channel;
            key = e.key;
            offTick = e.offTick;
            return true;
        }
        return false;
    }

private:
    struct Entry {
        std::uint64_t offTick;
        std::uint64_t order;
        std::uint8_t channel;
        std::uint8_t key;
        bool operator>(const Entry& o) const { return offTick != o.offTick ? offTick > o.offTick : order > o.order; }
    };
    std::uint64_t offTick_[16][128] = {};
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
    std::uint64_t order_ = 0;
};

struct LoopFrame {
    std::size_t bodyStart;
    std::uint64_t startTick;
    std::optional<std::size_t> replayReturn;  // the same-measure replay the loop began in
    unsigned passes = 0;
    unsigned total = 0;                       // settled at the first loop end
};

class TrackPlayer {
public:
    TrackPlayer(const Header& h, const TrackInfo& t, std::uint64_t startTick, Budget& budget, std::uint64_t stopTick)
        : h_(h), t_(t), budget_(budget), cursor_(startTick), channel_(t.channel),
          tickLimit_(startTick + kMaxTrackBeats * h.timeBase), stopTick_(stopTick) {
        // Most records are notes, each an on and an off; loops only add to that.
        out_.events.reserve(std::min(t.recordCount * 2, budget.events));
    }

    TrackPlay Play() {
        while (index_ < t_.recordCount && budget_.recordSteps > 0 && budget_.events > 0 && cursor_ <= tickLimit_ &&
               cursor_ < stopTick_) {
            --budget_.recordSteps;
            const Record r = Read(index_);
            ReleaseNotesDueBy(cursor_);
            if (r.code < 0x80) {
                Note(r);
                Advance(r.step);
                ++index_;
            } else if (!Command(r)) {
                break;  // end of track
            }
        }
        // Notes still on at the end of the track run until their gates end, or until the song stops.
        ReleaseNotesDueBy(UINT64_MAX, stopTick_);
        out_.endTick = std::max(out_.endTick, std::min(cursor_, stopTick_));
        return std::move(out_);
    }

private:
    Record Read(std::size_t index) const {
        const std::uint8_t* p = t_.Record(index, h_.recordSize);
        if (h_.generation == Generation::V2) return {p[0], p[1], p[2], p[3]};
        return {p[0], static_cast<std::uint32_t>(p[2] | (p[3] << 8)), static_cast<std::uint32_t>(p[4] | (p[5] << 8)),
                p[1]};
    }
    std::uint8_t CodeAt(std::size_t index) const { return t_.Record(index, h_.recordSize)[0]; }

    void Advance(std::uint32_t step) { cursor_ += step; }
    bool Sounding() const { return channel_ != kChannelOff; }

    bool Emitting(std::uint64_t tick) {
        if (budget_.events == 0) return false;
        --budget_.events;
        out_.endTick = std::max(out_.endTick, tick);
        return true;
    }
    void Emit(std::uint64_t tick, std::initializer_list<std::uint8_t> message, bool noteOff = false) {
        if (!Emitting(tick)) return;
        PlayedEvent& e = out_.events.emplace_back();
        e.tick = tick;
        e.size = static_cast<std::uint8_t>(message.size());
        e.noteOff = noteOff;
        std::copy(message.begin(), message.end(), e.bytes);
    }
    // A channel message, sent only while the track has a channel and when every data byte is one.
    void Channel(std::uint8_t kind, std::uint32_t data1) {
        if (Sounding() && data1 <= 0x7F) Emit(cursor_, {static_cast<std::uint8_t>(kind | channel_), static_cast<std::uint8_t>(data1)});
    }
    void Channel(std::uint8_t kind, std::uint32_t data1, std::uint32_t data2) {
        if (Sounding() && data1 <= 0x7F && data2 <= 0x7F)
            Emit(cursor_, {static_cast<std::uint8_t>(kind | channel_), static_cast<std::uint8_t>(data1),
                           static_cast<std::uint8_t>(data2)});
    }
    void Exclusive(std::vector<std::uint8_t> message) {
        // A silent track sends no exclusives either; an empty message was dropped.
        if (!Sounding() || message.empty() || !Emitting(cursor_)) return;
        out_.exclusives.push_back(std::move(message));
        PlayedEvent& e = out_.events.emplace_back();
        e.tick = cursor_;
        e.exclusive = static_cast<std::uint32_t>(out_.exclusives.size());
    }

    // The key that sounds: shifted by the track's key shift and the song's play bias, unless the
    // track's key shift byte turns transposition off (rhythm tracks). Outside 0-127 nothing sounds.
    std::optional<std::uint8_t> SoundingKey(std::uint8_t key) const {
        if (t_.keyShift >= 0x80) return key;
        const int shift = (t_.keyShift & 0x40) ? int(t_.keyShift) - 0x80 : int(t_.keyShift);  // 7-bit signed
        const int k = key + shift + h_.playBias;
        if (k < 0 || k > 127) return std::nullopt;
        return static_cast<std::uint8_t>(k);
    }

    void Note(const Record& r) {
        const std::uint32_t gate = r.p1;
        if (gate == 0 || r.p2 == 0 || r.p2 > 0x7F || !Sounding()) return;  // a rest
        const std::optional<std::uint8_t> key = SoundingKey(r.code);
        if (!key) return;
        // The same key still sounding is tied: it goes on, to the new note's gate.
        const bool tied = sounding_.OffTick(channel_, *key) != SoundingNotes::kSilent;
        if (!tied) Emit(cursor_, {static_cast<std::uint8_t>(0x90 | channel_), *key, r.p2});
        sounding_.SetOffTick(channel_, *key, cursor_ + gate);
    }

    // Note-offs of the notes whose gates end by `tick`, in the order they end, each on the channel
    // its note started on; none later than `latest`.
    void ReleaseNotesDueBy(std::uint64_t tick, std::uint64_t latest = UINT64_MAX) {
        std::uint8_t channel = 0, key = 0;
        std::uint64_t offTick = 0;
        while (sounding_.NextDue(tick, channel, key, offTick)) {
            Emit(std::min(offTick, latest), {static_cast<std::uint8_t>(0x80 | channel), key, 0x40}, true);
        }
    }

    // The data of the F7 records after `index`: bytes 2-3 of each (2.x) or 1-5 (3.x). One bar line
    // that cut into them is looked past (the editor repairs such files) and played after the
    // message. Returns where playing goes on.
    std::size_t Continuation(std::size_t index, std::vector<std::uint8_t>* data) const {
        std::size_t i = index + 1;
        std::optional<std::size_t> barLine;
        while (i < t_.recordCount) {
            const std::uint8_t code = CodeAt(i);
            if (code == kMeasureEnd && !barLine && i + 1 < t_.recordCount && CodeAt(i + 1) == kContinuation) {
                barLine = i++;
                continue;
            }
            if (code != kContinuation) break;
            const std::uint8_t* p = t_.Record(i++, h_.recordSize);
            if (!data) continue;
            if (h_.generation == Generation::V2) {
                data->insert(data->end(), p + 2, p + 4);
            } else {
                data->insert(data->end(), p + 1, p + 6);
            }
        }
        return barLine ? *barLine : i;
    }

    // Handles a command; false at the end of the track.
    bool Command(const Record& r) {
        const std::uint8_t p1 = static_cast<std::uint8_t>(r.p1);  // most commands use the low byte
        if (r.code >= kUserExclusive1 && r.code <= kUserExclusive8) {
            const std::vector<std::uint8_t>& body = h_.userExclusive[r.code - kUserExclusive1];
            Exclusive(BuildExclusive(body.data(), body.size(), p1, r.p2, channel_));
            return Timed(r);
        }
        if (IsFixedExclusive(r.code)) {
            if (Sounding()) Exclusive(FixedExclusive(r.code, yamaha_, channel_, p1, r.p2));
            return Timed(r);
        }
        switch (r.code) {
        case kTrackExclusive: {
            std::vector<std::uint8_t> data;
            const std::size_t next = Continuation(index_, &data);
            Exclusive(BuildExclusive(data.data(), data.size(), p1, r.p2, channel_));
            Advance(r.step);
            index_ = next;
            return true;
        }
        case kExternalCommand:
        case kComment:
            index_ = Continuation(index_, nullptr);  // their text means nothing to a player
            return true;
        case kYamahaBase:
            yamaha_.SetAddress(p1, r.p2);
            return Timed(r);
        case kYamahaDevice:
            yamaha_.SetDevice(p1, r.p2);
            return Timed(r);
        case kYamahaParameter:
            Exclusive(YamahaParameter(yamaha_, p1, r.p2));
            return Timed(r);
        case kRolandBase:
            roland_.SetAddress(p1, r.p2);
            return Timed(r);
        case kRolandDevice:
            roland_.SetDevice(p1, r.p2);
            return Timed(r);
        case kRolandParameter:
            Exclusive(RolandParameter(roland_, p1, r.p2));
            return Timed(r);
        case kBankLsbProgram:
        case kBankMsbProgram:
            Channel(0xB0, r.code == kBankMsbProgram ? 0x00u : 0x20u, r.p2);
            Channel(0xC0, p1);
            return Timed(r);
        case kKeyScan:
            return Timed(r);  // an editor's action while playing
        case kChannelChange:
            // One-based here, unlike the track header: 0 is off, 17-32 port B (sent on 1-16).
            channel_ = (p1 >= 1 && p1 <= 32) ? static_cast<std::uint8_t>((p1 - 1) & 0x0F) : kChannelOff;
            return Timed(r);
        case kTempo:
            // Applies to the whole song, even from a track that sends nothing.
            if (r.p1 != 0 && budget_.events > 0) {
                --budget_.events;
                out_.tempos.push_back({cursor_, r.p1, r.p2});
            }
            return Timed(r);
        case kChannelPressure:
            Channel(0xD0, p1);
            return Timed(r);
        case kControlChange:
            Channel(0xB0, p1, r.p2);
            return Timed(r);
        case kProgramChange:
            Channel(0xC0, p1);  // 80-BF pick an old synthesizer's user patches: not sent
            return Timed(r);
        case kKeyPressure:
            Channel(0xA0, p1, r.p2);
            return Timed(r);
        case kPitchBend:
            Channel(0xE0, p1, r.p2);
            return Timed(r);
        case kKeySignature:
        case kContinuation:  // one that follows no exclusive or comment
            ++index_;
            return true;
        case kLoopStart:
            LoopStart();
            return true;
        case kLoopEnd:
            LoopEnd(r.step);
            return true;
        case kSameMeasure:
            SameMeasure();
            return true;
        case kMeasureEnd:
            MeasureEnd();
            return true;
        case kEndOfTrack:
        case kEndOfTrackToo:
            return false;
        default:
            if (kUnknownCommandsTakeTime) Advance(r.step);
            ++index_;
            return true;
        }
    }

    // A command whose step is a delay.
    bool Timed(const Record& r) {
        Advance(r.step);
        ++index_;
        return true;
    }

    void LoopStart() {
        ++index_;
        if (loops_.size() >= kMaxLoopDepth) {
            ++ignoredLoops_;
            return;
        }
        loops_.push_back({index_, cursor_, replayReturn_});
    }

    void LoopEnd(std::uint32_t count) {
        ++index_;
        if (ignoredLoops_ > 0) {
            --ignoredLoops_;
            return;
        }
        if (loops_.empty()) return;  // a loop end without a start
        LoopFrame& loop = loops_.back();
        if (++loop.passes == 1) {
            loop.total = (count == 0 || count == 255) ? kForeverPasses : count;
            const std::uint64_t passTicks = cursor_ - loop.startTick;
            if (loop.total > 2 && passTicks * loop.total >= kLoopBombBeats * h_.timeBase) loop.total = 2;
        }
        if (loop.passes < loop.total) {
            index_ = loop.bodyStart;
            replayReturn_ = loop.replayReturn;
        } else {
            loops_.pop_back();
        }
    }

    // A bar line; the one that ends a same-measure replay returns to the record after its reference.
    void MeasureEnd() {
        if (replayReturn_) {
            index_ = *replayReturn_;
            replayReturn_.reset();
        } else {
            ++index_;
        }
    }

    void SameMeasure() {
        if (replayReturn_) {
            MeasureEnd();  // a reference met while replaying ends the replay like a bar line
            return;
        }
        const std::optional<std::size_t> target = Resolve(index_);
        if (!target) {
            ++index_;
            return;
        }
        replayReturn_ = index_ + 1;
        index_ = *target;
    }

    // Where the reference at `index` leads, following references to references.
    std::optional<std::size_t> Resolve(std::size_t index) {
        std::size_t at = index;
        for (int hop = 0; hop < kMaxSameMeasureHops; ++hop) {
            const std::optional<std::size_t> target = TargetOf(at);
            if (!target || *target == index || *target == at) return std::nullopt;
            if (CodeAt(*target) != kSameMeasure) return target;
            at = *target;
        }
        return std::nullopt;  // a cycle, or a chain no editor writes
    }

    // The record a same-measure reference points at. The position it stores is preferred (some
    // files number their measures wrongly); the measure number is the fallback.
    std::optional<std::size_t> TargetOf(std::size_t index) {
        const Record r = Read(index);
        std::size_t measure = 0;
        std::optional<std::size_t> byPosition;
        if (h_.generation == Generation::V2) {
            measure = r.step | ((r.p1 & 3) << 8);
            byPosition = FromTrackOffset((r.p1 & 0xFC) | (std::size_t{r.p2} << 8));
        } else {
            // A record index biased by 0x30. Some players read the field as a byte offset for
            // 18-track files: taken only when the index misses the track.
            measure = r.step;
            if (r.p1 >= 0x30 && r.p1 - 0x30u < t_.recordCount) {
                byPosition = r.p1 - 0x30u;
            } else if (r.p1 >= t_.headerSize && (r.p1 - t_.headerSize) / h_.recordSize < t_.recordCount) {
                byPosition = (r.p1 - t_.headerSize) / h_.recordSize;  // rounded down to a record
            }
        }
        if (byPosition && *byPosition != index) return byPosition;
        const std::vector<std::size_t>& starts = MeasureStarts();
        if (measure < starts.size() && starts[measure] != index) return starts[measure];
        return std::nullopt;
    }

    std::optional<std::size_t> FromTrackOffset(std::size_t offset) const {
        if (offset < t_.headerSize || (offset - t_.headerSize) % h_.recordSize != 0) return std::nullopt;
        const std::size_t index = (offset - t_.headerSize) / h_.recordSize;
        if (index >= t_.recordCount) return std::nullopt;
        return index;
    }

    // The first record of every measure: the track's first, and the one after each bar line or
    // same-measure reference (a reference stands for a whole measure).
    const std::vector<std::size_t>& MeasureStarts() {
        if (!measureStarts_.empty()) return measureStarts_;
        measureStarts_.push_back(0);
        for (std::size_t i = 0; i < t_.recordCount && measureStarts_.size() < kMaxMeasures; ++i) {
            const std::uint8_t code = CodeAt(i);
            if (code == kEndOfTrack || code == kEndOfTrackToo) break;
            if (code == kMeasureEnd || code == kSameMeasure) measureStarts_.push_back(i + 1);
        }
        return measureStarts_;
    }

    const Header& h_;
    const TrackInfo& t_;
    Budget& budget_;
    TrackPlay out_;
    std::size_t index_ = 0;
    std::uint64_t cursor_;
    std::uint8_t channel_;
    const std::uint64_t tickLimit_;
    const std::uint64_t stopTick_;
    SoundingNotes sounding_;
    std::vector<LoopFrame> loops_;
    std::size_t ignoredLoops_ = 0;
    std::optional<std::size_t> replayReturn_;
    std::vector<std::size_t> measureStarts_;
    // Where the Roland and Yamaha commands send: the usual GS module until the track says otherwise.
    ParameterTarget roland_{0x10, 0x16, 0, 0};
    ParameterTarget yamaha_{0x10, 0x4C, 0, 0};
};

}  // namespace

TrackPlay PlayTrack(const Header& header, const TrackInfo& track, std::uint64_t startTick, Budget& budget,
                    std::uint64_t stopTick) {
    return TrackPlayer(header, track, startTick, budget, stopTick).Play();
}

}  // namespace kyro::rcp
