#include "rcpsongs.h"

#include "composer.h"
#include "rcptrack.h"
#include "score.h"

#include <algorithm>

namespace kyro::demo {

namespace {

using test::Command;
using test::RcpGeneration;
using test::RcpRecord;
using test::RcpSong;
using test::RcpTrack;

constexpr int kVolume = 7, kPan = 10, kExpression = 11, kReverb = 91;
constexpr std::uint8_t kDrumChannel = 9, kChannelOff = 0xFF, kNoTransposition = 0x80, kRhythmTrack = 0x80;
constexpr std::uint8_t kMuted = 1;

// The body of a GS reset as the header's user exclusives and the track exclusives store it: no
// F0, 83 starts the checksum, 84 places it.
const std::vector<std::uint8_t> kGsReset = {0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x00, 0x7F, 0x00, 0x84, 0xF7};

std::uint32_t BarTicks(int n, int beatsPerBar) { return static_cast<std::uint32_t>(n * beatsPerBar) * kBeat; }

// A little accent on the first beat of the bar and less on the off-beats, the same in every bar so
// that repeated bars stay the same records.
int Accent(std::uint32_t tick, int beatsPerBar, int velocity) {
    const std::uint32_t inBar = tick % BarTicks(1, beatsPerBar);
    return std::clamp(velocity + (inBar == 0 ? 8 : inBar % kBeat == 0 ? 2 : -4), 1, 127);
}

// The sounding part of a written length, on a grid of thirty-second notes that every time base
// used here can hold.
std::uint32_t Gate(std::uint32_t length, int percent) {
    constexpr std::uint32_t kGrid = kBeat / 8;
    return std::max(kGrid, length * static_cast<std::uint32_t>(percent) / 100 / kGrid * kGrid);
}

// The set-up of a part in its lead-in measure: after `wait` ticks (of the track's time base), the
// program with its bank, then volume, pan and reverb.
std::vector<RcpRecord> PartSetup(std::uint16_t wait, std::uint8_t bankCommand, int program, int bank, int volume, int pan,
                                 int reverb) {
    std::vector<RcpRecord> records;
    if (wait > 0) records.push_back(test::Note(0, wait, 0, 0));
    records.push_back(Command(bankCommand, 0, static_cast<std::uint16_t>(program), static_cast<std::uint8_t>(bank)));
    records.push_back(Command(0xEB, 0, kVolume, static_cast<std::uint8_t>(volume)));
    records.push_back(Command(0xEB, 0, kPan, static_cast<std::uint8_t>(pan)));
    records.push_back(Command(0xEB, 0, kReverb, static_cast<std::uint8_t>(reverb)));
    return records;
}

// The same with a GS reset in front, as a track exclusive (98 and its continuation records).
std::vector<RcpRecord> WithTrackExclusiveReset(RcpGeneration g, std::uint16_t wait, std::vector<RcpRecord> setup) {
    std::vector<RcpRecord> records = {Command(0x98, wait)};
    const std::vector<RcpRecord> data = test::Continuation(g, kGsReset);
    records.insert(records.end(), data.begin(), data.end());
    records.insert(records.end(), setup.begin(), setup.end());
    return records;
}

void AddMelody(RcpTrackBuilder& t, const std::vector<ScoreNote>& notes, int beatsPerBar, int velocity, int legatoPercent) {
    for (const ScoreNote& n : notes)
        t.Note(n.tick, Gate(n.length, legatoPercent), n.key, Accent(n.tick, beatsPerBar, velocity));
}

void AddChords(RcpTrackBuilder& t, const std::vector<Chord>& chords, int low, int velocity, int legatoPercent) {
    for (const Chord& c : chords)
        for (int key : ChordKeys(c, low)) t.Note(c.tick, Gate(c.length, legatoPercent), key, velocity);
}

RcpTrack Track(RcpTrackBuilder& builder, int bars, std::uint8_t channel, const std::string& comment) {
    RcpTrack t;
    t.channel = channel;
    t.comment = comment;
    t.records = builder.Records(bars);
    return t;
}

std::string Bytes(const RcpSong& song) {
    const std::vector<std::uint8_t> bytes = test::WriteRcp(song);
    return {bytes.begin(), bytes.end()};
}

const std::vector<std::string> kMemo = {"Kyrotune demo song", "General MIDI arrangement"};

}  // namespace

// Johann Pachelbel (1653-1706), the canon over a ground bass, shortened: the ground five times
// with the upper voices following each other two bars apart, and a last chord.
std::string CanonRcp(const std::string& titleCp932) {
    constexpr auto g = RcpGeneration::V2;
    constexpr std::uint16_t kTimeBase = 48;
    constexpr int kBeats = 4, kBars = 12;
    RcpSong song;
    song.generation = g;
    song.title = titleCp932;
    song.memo = kMemo;
    song.timeBase = kTimeBase;
    song.tempo = 84;
    song.key = 2;  // two sharps
    song.userExclusive[0] = kGsReset;
    auto builder = [&] { return RcpTrackBuilder(g, kTimeBase, kBeats, kBeat); };

    // The theme of the first violin, eight bars; the second plays it two bars later.
    const std::string theme = "F#5q E5q D5q C#5q | B4q A4q B4q C#5q | D5q C#5q B4q A4q | G4q F#4q G4q E4q |"
                              "D4e F#4e A4e G4e F#4e D4e F#4e E4e | D4e B3e D4e A4e G4e B4e A4e G4e |"
                              "F#4e D4e E4e C#5e D5e F#5e A5e A4e | B4e G4e A4e F#4e D4e D5e D5e C#5e |";
    RcpTrackBuilder violin1 = builder();
    violin1.Setup({Command(0x90, 12), Command(0xE2, 0, 40, 0), Command(0xEB, 0, kVolume, 104), Command(0xEB, 0, kPan, 44),
                   Command(0xEB, 0, kReverb, 72)});
    AddMelody(violin1, ParseMelody(theme + "F#5q E5q D5q C#5q | B4q A4q B4q C#5q | D5w | D5w"), kBeats, 92, 95);
    violin1.Command(BarTicks(10, kBeats), {Command(0xE7, 0, 54)});  // ritardando into the last chord
    violin1.UseSameMeasures();

    RcpTrackBuilder violin2 = builder();
    violin2.Setup(PartSetup(24, 0xE2, 40, 0, 96, 84, 72));
    AddMelody(violin2, ParseMelody(theme + "A4w | A4w", BarTicks(2, kBeats)), kBeats, 84, 95);
    violin2.UseSameMeasures();

    // The ground, five times inside one loop, and the tonic held under the last chord.
    RcpTrackBuilder cello = builder();
    cello.Setup(PartSetup(24, 0xE2, 42, 0, 100, 64, 64));
    std::string ground;
    for (int pass = 0; pass < 5; ++pass) ground += "D3q A2q B2q F#2q | G2q D2q G2q A2q |";
    AddMelody(cello, ParseMelody(ground + "D2w | D2w"), kBeats, 90, 90);
    cello.Loop(0, 2, 5);

    RcpTrackBuilder harpsichord = builder();
    harpsichord.Setup(PartSetup(24, 0xE1, 6, 0, 80, 96, 48));
    std::string changes;
    for (int pass = 0; pass < 5; ++pass) changes += "D:1 A:1 Bm:1 F#m:1 G:1 D:1 G:1 A:1 ";
    AddChords(harpsichord, ParseChords(changes + "D:8"), 57, 64, 80);
    harpsichord.UseSameMeasures();

    song.tracks = {Track(violin1, kBars, 0, "Violin I"), Track(violin2, kBars, 1, "Violin II"),
                   Track(cello, kBars, 2, "Cello"), Track(harpsichord, kBars, 3, "Harpsichord")};
    return Bytes(song);
}

// English traditional, "Greensleeves": the verse once, on a flute over harp, cello and strings,
// with hand drums. The tempo lives on a conductor track of its own that sends nothing.
std::string GreensleevesRcp(const std::string& titleCp932) {
    constexpr auto g = RcpGeneration::V2;
    constexpr std::uint16_t kTimeBase = 48;
    constexpr int kBeats = 3, kBars = 17;
    RcpSong song;
    song.generation = g;
    song.title = titleCp932;
    song.memo = kMemo;
    song.timeBase = kTimeBase;
    song.tempo = 104;
    song.meterNumerator = 3;
    song.key = 0x10;  // A minor
    auto builder = [&] { return RcpTrackBuilder(g, kTimeBase, kBeats, kBeat); };

    const auto melody = ParseMelody("rh A4q | C5h D5q | E5q. F5e E5q | D5h B4q | G4q. A4e B4q | C5h A4q | A4q. G#4e A4q |"
                                    "B4h G#4q | E4h A4q | C5h D5q | E5q. F5e E5q | D5h B4q | G4q. A4e B4q |"
                                    "C5q. B4e A4q | G#4q. F#4e G#4q | A4h. | A4h.");
    // Bar 0 is the upbeat; the chords start on bar 1.
    const auto chords = ParseChords("Am:3 C:3 G:3 Em:3 Am:3 Dm:3 E:3 E:3 Am:3 C:3 G:3 Em:3 Am:3 E:3 Am:6", BarTicks(1, kBeats));

    RcpTrackBuilder flute = builder();
    flute.Setup(WithTrackExclusiveReset(g, 12, PartSetup(0, 0xE2, 73, 0, 100, 64, 80)));
    AddMelody(flute, melody, kBeats, 96, 92);
    flute.Command(BarTicks(9, kBeats), {Command(0xEB, 0, kExpression, 120)});  // the second half a little louder
    flute.UseSameMeasures();

    RcpTrackBuilder conductor = builder();
    conductor.Command(BarTicks(15, kBeats), {Command(0xE7, 0, 56)});

    // A guide part kept in the song but muted: the melody an octave up.
    RcpTrackBuilder guide = builder();
    for (ScoreNote n : melody) guide.Note(n.tick, n.length / 2, n.key + 12, 80);

    RcpTrackBuilder harp = builder();
    harp.Setup(PartSetup(24, 0xE1, 46, 0, 84, 40, 80));
    for (const Chord& c : chords)
        for (std::uint32_t t = c.tick; t < c.tick + c.length; t += kBeat) {
            const bool downbeat = (t - c.tick) % BarTicks(1, kBeats) == 0;
            if (downbeat) harp.Note(t, kBeat, ChordKeys(Chord{0, 0, c.root, {0}}, 45).front(), 76);
            else for (int key : ChordKeys(c, 57)) harp.Note(t, kBeat * 3 / 4, key, 58);
        }

    // Hand drums: a two-bar pattern looped under the verse, a plain close.
    constexpr int kHighBongo = 60, kLowBongo = 61, kMaracas = 70;
    RcpTrackBuilder drums = builder();
    drums.Setup(PartSetup(24, 0xEC, 0, 0, 90, 64, 40));
    drums.Note(BarTicks(0, kBeats) + 2 * kBeat, kBeat / 4, kMaracas, 50);
    for (int bar = 1; bar < 15; ++bar) {
        const std::uint32_t t0 = BarTicks(bar, kBeats);
        drums.Note(t0, kBeat / 4, kLowBongo, 84);
        drums.Note(t0 + kBeat, kBeat / 4, kHighBongo, 66);
        drums.Note(t0 + 2 * kBeat, kBeat / 4, kHighBongo, 62);
        if (bar % 2 == 0) drums.Note(t0 + 5 * kBeat / 2, kBeat / 4, kHighBongo, 56);
        for (int eighth = 0; eighth < 6; ++eighth)
            drums.Note(t0 + eighth * kBeat / 2, kBeat / 4, kMaracas, eighth % 2 ? 40 : 54);
    }
    drums.Note(BarTicks(15, kBeats), kBeat / 4, kLowBongo, 80);
    drums.Note(BarTicks(16, kBeats), kBeat / 2, kLowBongo, 70);
    drums.Loop(1, 2, 7);

    RcpTrackBuilder cello = builder();
    cello.Setup(PartSetup(24, 0xEC, 42, 0, 92, 72, 64));
    for (const Chord& c : chords)
        cello.Note(c.tick, Gate(c.length, 90), ChordKeys(Chord{0, 0, c.root, {0}}, 40).front(), 82);

    RcpTrackBuilder strings = builder();
    strings.Setup(PartSetup(24, 0xE2, 49, 0, 64, 80, 90));
    AddChords(strings, chords, 52, 50, 98);
    strings.Command(BarTicks(9, kBeats), {Command(0xEB, 0, kExpression, 112)});

    // Spread over the 36 tracks as a user of the editor might: parts in both halves.
    song.tracks.resize(36);
    song.tracks[0] = Track(flute, kBars, 0, "Flute");
    song.tracks[1] = Track(conductor, kBars, kChannelOff, "Tempo");
    song.tracks[2] = Track(guide, kBars, 0, "Guide (muted)");
    song.tracks[2].mode = kMuted;
    song.tracks[4] = Track(harp, kBars, 1, "Harp");
    song.tracks[9] = Track(drums, kBars, kDrumChannel, "Hand drums");
    song.tracks[9].keyShift = kNoTransposition;
    song.tracks[9].rhythm = kRhythmTrack;
    song.tracks[18] = Track(cello, kBars, 2, "Cello");
    song.tracks[26] = Track(strings, kBars, 3, "Strings");
    return Bytes(song);
}

// Our own: a boat song under the moon, in D minor. Shakuhachi over koto, strings, bass and drums;
// the middle section moves a little faster.
std::string BoatSongRcp(const std::string& titleCp932) {
    constexpr auto g = RcpGeneration::V3;
    constexpr std::uint16_t kTimeBase = 96;
    constexpr int kBeats = 4, kBars = 17;
    const Tune tune = Compose({62, true, kBeats, "Dm:4 Bb:4 C:4 Dm:4", "Gm:4 Dm:4 Bb:4 A7:4", 20261208});
    RcpSong song;
    song.generation = g;
    song.title = titleCp932;
    song.memo = kMemo;
    song.timeBase = kTimeBase;
    song.tempo = 120;
    song.key = 0x19;  // D minor: one flat
    auto builder = [&] { return RcpTrackBuilder(g, kTimeBase, kBeats, kBeat); };
    std::vector<Chord> chords = tune.chords;
    chords.push_back({BarTicks(16, kBeats), BarTicks(1, kBeats), 2, {0, 3, 7}});  // the last chord

    RcpTrackBuilder shakuhachi = builder();
    shakuhachi.Setup(WithTrackExclusiveReset(g, 24, PartSetup(0, 0xE2, 77, 0, 104, 60, 90)));
    AddMelody(shakuhachi, tune.melody, kBeats, 94, 94);
    shakuhachi.Note(BarTicks(16, kBeats), BarTicks(1, kBeats) - kBeat / 2, 62, 90);
    // The last note bends up into place.
    shakuhachi.Command(BarTicks(16, kBeats), {Command(0xEE, 0, 0, 0x38)});
    shakuhachi.Command(BarTicks(16, kBeats) + kBeat / 2, {Command(0xEE, 0, 0, 0x40)});
    shakuhachi.Command(BarTicks(8, kBeats), {Command(0xE7, 0, 68)});   // the middle section presses on
    shakuhachi.Command(BarTicks(12, kBeats), {Command(0xE7, 0, 64)});  // and settles back
    shakuhachi.Command(BarTicks(15, kBeats), {Command(0xE7, 0, 54)});  // ritardando
    shakuhachi.UseSameMeasures();

    // Koto arpeggios in eighths, a little behind the beat (ST+).
    RcpTrackBuilder koto = builder();
    koto.Setup(PartSetup(48, 0xE2, 107, 0, 90, 36, 70));
    for (const Chord& c : chords) {
        std::vector<int> keys = ChordKeys(c, 62);
        keys.push_back(keys.front() + 12);
        const std::size_t cycle[] = {0, 1, 2, 3, 2, 1, 0, 1};
        const bool last = c.tick == BarTicks(16, kBeats);
        for (std::uint32_t t = c.tick, i = 0; t < c.tick + c.length && (!last || i < 4); t += kBeat / 2, ++i)
            koto.Note(t, last && i == 3 ? 5 * kBeat / 2 : kBeat / 2, keys[cycle[i % 8]], Accent(t, kBeats, 70));
    }
    koto.UseSameMeasures();

    // Strings written an octave low and raised by the track's key shift.
    RcpTrackBuilder strings = builder();
    strings.Setup(PartSetup(48, 0xEC, 49, 0, 70, 92, 90));
    AddChords(strings, chords, 41, 54, 98);
    strings.Command(BarTicks(8, kBeats), {Command(0xEB, 0, kExpression, 116)});
    strings.Command(BarTicks(12, kBeats), {Command(0xEB, 0, kExpression, 127)});

    RcpTrackBuilder bass = builder();
    bass.Setup(PartSetup(48, 0xE1, 33, 0, 96, 64, 40));
    for (const Chord& c : chords) {
        const int root = ChordKeys(Chord{0, 0, c.root, {0}}, 38).front();
        bass.Note(c.tick, 3 * kBeat / 2, root, Accent(c.tick, kBeats, 88));
        if (c.tick < BarTicks(16, kBeats)) bass.Note(c.tick + 2 * kBeat, 3 * kBeat / 2, root + 7, 80);
    }
    bass.UseSameMeasures();

    // Three bars of a pattern and a fill, four times: a loop inside a loop.
    constexpr int kKick = 36, kRim = 37, kClosedHat = 42, kLowTom = 45, kHighTom = 50, kCrash = 49;
    RcpTrackBuilder drums = builder();
    drums.Setup(PartSetup(48, 0xEC, 0, 0, 84, 64, 50));
    for (int bar = 0; bar < 16; ++bar) {
        const std::uint32_t t0 = BarTicks(bar, kBeats);
        if (bar % 4 == 3) {
            drums.Note(t0, kBeat / 4, kKick, 92);
            for (int i = 0; i < 4; ++i)
                drums.Note(t0 + kBeat + i * kBeat / 2, kBeat / 4, i < 2 ? kHighTom : kLowTom, 70 + 6 * i);
            drums.Note(t0 + 3 * kBeat, kBeat / 4, kKick, 96);
            continue;
        }
        drums.Note(t0, kBeat / 4, kKick, 90);
        drums.Note(t0 + 2 * kBeat + kBeat / 2, kBeat / 4, kKick, 70);
        drums.Note(t0 + kBeat, kBeat / 4, kRim, 64);
        drums.Note(t0 + 3 * kBeat, kBeat / 4, kRim, 64);
        for (int eighth = 0; eighth < 8; ++eighth)
            drums.Note(t0 + eighth * kBeat / 2, kBeat / 4, kClosedHat, eighth % 2 ? 36 : 50);
    }
    drums.Note(BarTicks(16, kBeats), kBeat, kKick, 96);
    drums.Note(BarTicks(16, kBeats), kBeat, kCrash, 84);
    drums.Loop(0, 4, 4);
    drums.Loop(0, 1, 3);

    song.tracks = {Track(shakuhachi, kBars, 0, "Shakuhachi"), Track(koto, kBars, 1, "Koto"),
                   Track(strings, kBars, 2, "Strings"), Track(bass, kBars, 3, "Bass"),
                   Track(drums, kBars, kDrumChannel, "Drums")};
    song.tracks[1].stepShift = 2;
    song.tracks[2].keyShift = 12;
    song.tracks[4].keyShift = kNoTransposition;
    song.tracks[4].rhythm = kRhythmTrack;
    return Bytes(song);
}

}  // namespace kyro::demo
