#include "composer.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace kyro::demo {

namespace {

// The classic linear congruential generator: the same seed gives the same tune on every machine.
class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    int Below(int n) {
        state_ = state_ * 22695477u + 1u;
        return static_cast<int>((state_ >> 16) & 0x7FFF) % n;
    }

private:
    std::uint32_t state_;
};

// Rhythms of one bar in eighths; the last entry of each list is a phrase's closing bar.
const std::vector<std::vector<std::vector<int>>>& Rhythms(int beatsPerBar) {
    static const std::vector<std::vector<std::vector<int>>> kFour = {
        {{2, 2, 2, 2}, {4, 2, 2}, {3, 1, 2, 2}, {1, 1, 2, 2, 2}, {2, 2, 4}, {2, 1, 1, 4}},
        {{8}, {6, 2}}};
    static const std::vector<std::vector<std::vector<int>>> kThree = {
        {{2, 2, 2}, {4, 2}, {3, 1, 2}, {1, 1, 2, 2}, {2, 1, 1, 2}},
        {{6}, {4, 2}}};
    if (beatsPerBar == 4) return kFour;
    if (beatsPerBar == 3) return kThree;
    throw std::invalid_argument("only 3 or 4 beats a bar");
}

class MelodyMaker {
public:
    MelodyMaker(const TuneSketch& s) : s_(s), rng_(s.seed), last_(s.tonic + (s.minor ? 3 : 4)) {
        const int steps[2][7] = {{0, 2, 4, 5, 7, 9, 11}, {0, 2, 3, 5, 7, 8, 10}};
        for (int key = s.tonic - 8; key <= s.tonic + 14; ++key)
            for (int st : steps[s.minor ? 1 : 0])
                if ((key - s.tonic - st) % 12 == 0) scale_.push_back(key);
    }

    // One phrase over four bars of `chords` from `startTick`; it closes on the tonic or the fifth.
    std::vector<ScoreNote> Phrase(const std::vector<Chord>& chords, std::uint32_t startTick, bool closed,
                                  std::uint32_t seed) {
        rng_ = Lcg(seed);
        std::vector<ScoreNote> notes;
        const std::uint32_t bar = static_cast<std::uint32_t>(s_.beatsPerBar) * kBeat;
        const auto& rhythms = Rhythms(s_.beatsPerBar);
        for (int b = 0; b < 4; ++b) {
            const bool closing = b == 3;
            const auto& choices = rhythms[closing ? 1 : 0];
            const auto& rhythm = choices[rng_.Below(static_cast<int>(choices.size()))];
            std::uint32_t t = startTick + b * bar;
            for (std::size_t i = 0; i < rhythm.size(); ++i) {
                const std::uint32_t length = static_cast<std::uint32_t>(rhythm[i]) * kBeat / 2;
                int key;
                if (closing && i + 1 == rhythm.size()) key = Nearest(s_.tonic + (closed ? 0 : 7));
                else if (t % kBeat == 0) key = ChordTone(ChordAt(chords, t));
                else key = Step();
                notes.push_back({t, length, key});
                last_ = key;
                t += length;
            }
        }
        return notes;
    }

private:
    const Chord& ChordAt(const std::vector<Chord>& chords, std::uint32_t t) const {
        for (const Chord& c : chords)
            if (t >= c.tick && t < c.tick + c.length) return c;
        throw std::invalid_argument("a bar without a chord");
    }

    // The tonic or fifth in the octave nearest to the last note.
    int Nearest(int key) const {
        int best = key;
        for (int k = key - 24; k <= key + 24; k += 12)
            if (std::abs(k - last_) < std::abs(best - last_) && k >= s_.tonic - 5 && k <= s_.tonic + 12) best = k;
        return best;
    }

    // One of the three chord tones nearest to the last note, not too far from home.
    int ChordTone(const Chord& c) {
        std::vector<int> tones;
        for (int key = s_.tonic - 5; key <= s_.tonic + 12; ++key)
            for (int iv : c.intervals)
                if (((key - c.root - iv) % 12 + 12) % 12 == 0) tones.push_back(key);
        std::sort(tones.begin(), tones.end(), [&](int a, int b) { return std::abs(a - last_) < std::abs(b - last_); });
        const int pick = rng_.Below(std::min<int>(3, static_cast<int>(tones.size())));
        return tones[pick];
    }

    // A step or a skip along the scale, leaning back towards the middle of the range.
    int Step() {
        auto at = std::lower_bound(scale_.begin(), scale_.end(), last_);
        int i = static_cast<int>(at - scale_.begin());
        const int middle = s_.tonic + 4;
        int direction = rng_.Below(4) == 0 ? (last_ > middle ? 1 : -1) : (last_ > middle ? -1 : 1);
        const int size = rng_.Below(3) == 0 ? 2 : 1;
        i = std::clamp(i + direction * size, 0, static_cast<int>(scale_.size()) - 1);
        return scale_[i];
    }

    const TuneSketch& s_;
    Lcg rng_;
    int last_;
    std::vector<int> scale_;
};

}  // namespace

Tune Compose(const TuneSketch& sketch) {
    const std::uint32_t phrase = 4u * static_cast<std::uint32_t>(sketch.beatsPerBar) * kBeat;
    Tune tune;
    MelodyMaker maker(sketch);
    const char form[] = "AABA";
    for (int p = 0; p < 4; ++p) {
        const bool isA = form[p] == 'A';
        const std::vector<Chord> chords = ParseChords(isA ? sketch.aChords : sketch.bChords, p * phrase);
        if (EndOf(chords) != (p + 1) * phrase) throw std::invalid_argument("a phrase of chords is not four bars");
        // The A phrases share their seed: the same rhythms and the same choices from where they start.
        const std::vector<ScoreNote> notes =
            maker.Phrase(chords, p * phrase, /*closed=*/p == 1 || p == 3, sketch.seed + (isA ? 0 : 7919));
        tune.melody.insert(tune.melody.end(), notes.begin(), notes.end());
        tune.chords.insert(tune.chords.end(), chords.begin(), chords.end());
    }
    tune.bars = 16;
    return tune;
}

}  // namespace kyro::demo
