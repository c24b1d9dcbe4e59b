#pragma once
// A compact text notation for the demo songs, and the accompaniment patterns built on it.
//
// Melody: notes and rests separated by blanks; "|" marks bars and is ignored. A note is a letter
// A-G, an optional "#" or "b", an octave (4 holds middle C = key 60) and a length: w whole,
// h half, q quarter, e eighth, s sixteenth, with "." for dotted. "r" with a length is a rest:
// "C4q D4e. E4s | F#4h rq".
// Chords: "NAME:BEATS" each, NAME a root with an optional accidental and a quality ("" major,
// "m" minor, "7" dominant seventh, "m7", "maj7", "5" root and fifth); "r:BEATS" is silence:
// "C:4 F:2 G7:2".

#include "smfwriter.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace kyro::demo {

inline constexpr std::uint32_t kBeat = kTicksPerQuarter;

struct ScoreNote {
    std::uint32_t tick = 0;
    std::uint32_t length = 0;
    int key = 0;
};

struct Chord {
    std::uint32_t tick = 0;
    std::uint32_t length = 0;
    int root = 0;                // pitch class 0-11
    std::vector<int> intervals;  // semitones above the root, the root (0) first
};

// Both throw std::invalid_argument on a token they cannot read: the songs are ours, a typo
// must stop the generator rather than make a wrong song.
std::vector<ScoreNote> ParseMelody(std::string_view text, std::uint32_t startTick = 0, int transpose = 0);
std::vector<Chord> ParseChords(std::string_view text, std::uint32_t startTick = 0);

// The end of the last note or chord.
std::uint32_t EndOf(const std::vector<ScoreNote>& notes);
std::uint32_t EndOf(const std::vector<Chord>& chords);

// The keys of a chord voiced upwards from `low`: each chord tone once, within the octave above it.
std::vector<int> ChordKeys(const Chord& chord, int low);

// Where the parts go: a track of the builder and a channel.
struct Voice {
    int track = 1;
    int channel = 0;
};

// `legato` is the share of each written length that sounds (0.5 staccato .. 1 tied).
void AddMelody(SmfBuilder& smf, Voice v, const std::vector<ScoreNote>& notes, int velocity, double legato = 0.9);
// Each chord held for its length.
void AddPad(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity);
// The root, and the fifth on the middle beat of a chord of four beats or more.
void AddBass(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity);
// The chord on every beat but the first of each bar (a waltz or march accompaniment); bars are
// counted from the first chord.
void AddAfterbeats(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int beatsPerBar, int low, int velocity);
// The chord tones up and down in eighths.
void AddArpeggio(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity);
// A plain kit on channel 10: kick on 1 and 3, snare on 2 and 4, closed hi-hat in eighths, a
// crash at the start and a last hit on the final bar.
void AddDrums(SmfBuilder& smf, int track, std::uint32_t startTick, int bars, int beatsPerBar);

}  // namespace kyro::demo
