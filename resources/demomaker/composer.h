#pragma once
// The melodies of the demo's original tunes, made from a chord progression and a seed: strong
// beats take a chord tone near the last note, the notes between step along the scale, and each
// phrase closes on a long note. The form is A A B A of four bars each: the first A and the B
// end open (on the fifth), the other two closed (on the tonic).

#include "score.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kyro::demo {

struct TuneSketch {
    int tonic = 60;          // the key of the tonic the melody circles around
    bool minor = false;      // natural minor, else major
    int beatsPerBar = 4;     // 3 or 4
    std::string aChords;     // four bars of chords for A, e.g. "C:4 Am:4 F:4 G:4"
    std::string bChords;     // four bars for B
    std::uint32_t seed = 1;
};

struct Tune {
    std::vector<ScoreNote> melody;
    std::vector<Chord> chords;  // the whole form, for the accompaniment
    int bars = 0;
};

Tune Compose(const TuneSketch& sketch);

}  // namespace kyro::demo
