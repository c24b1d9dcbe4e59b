#include "songs.h"

#include "composer.h"
#include "platform/cp932.h"
#include "rcpsongs.h"

#include <stdexcept>

namespace kyro::demo {

namespace {

// General MIDI programs, 0-based.
enum Program {
    kPiano = 0, kElectricPiano = 4, kHarpsichord = 6, kCelesta = 8, kMusicBox = 10, kVibraphone = 11,
    kChurchOrgan = 19, kAccordion = 21, kTangoAccordion = 23, kNylonGuitar = 24, kSteelGuitar = 25,
    kAcousticBass = 32, kFingerBass = 33, kSynthBass = 38, kCello = 42, kPizzicato = 45, kHarp = 46,
    kStrings = 48, kSlowStrings = 49, kHorn = 60, kClarinet = 71, kBassoon = 70, kFlute = 73, kPanFlute = 75,
    kKoto = 107, kWarmPad = 89,
};

std::uint32_t Bars(int n, int beatsPerBar) { return static_cast<std::uint32_t>(n * beatsPerBar) * kBeat; }

// "C:4" n times.
std::string Repeat(const std::string& chord, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += chord + " ";
    return out;
}

// Japanese traditional. Koto over a drone of A and E, in the old miyako-bushi scale.
std::string Sakura(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 88, 4, {{"Koto", 0, kKoto, 110, 64}, {"Strings", 1, kSlowStrings, 62, 80}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("A4q A4q B4h | A4q A4q B4h | A4q B4q C5q B4q | A4q B4e A4e F4h |"
                          "E4q C4q E4q F4q | E4q E4e C4e B3h | A4q B4q C5q B4q | A4q B4e A4e F4h |"
                          "E4q C4q E4q F4q | E4q E4e C4e B3h | A4q A4q B4h | A4q A4q B4h |"
                          "E4q F4q B4e A4e F4q | E4w"),
              96, 0.95);
    AddPad(a.Smf(), a.Part(1), ParseChords(Repeat("A5:8", 7)), 45, 50);
    return a.Build(format);
}

// German folk song, sung as a round in three voices, each twice through.
std::string Kaeru(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 132, 4,
                  {{"Flute", 0, kFlute, 100, 40}, {"Clarinet", 1, kClarinet, 96, 88}, {"Bassoon", 2, kBassoon, 100, 64},
                   {"Bass", 3, kPizzicato, 90, 64}});
    const std::string tune =
        "C4q D4q E4q F4q | E4q D4q C4h | E4q F4q G4q A4q | G4q F4q E4h |"
        "C4h C4h | C4h C4h | C4e C4e D4e D4e E4e E4e F4e F4e | E4q D4q C4h |";
    const int octaves[3] = {12, 0, -12};
    for (int v = 0; v < 3; ++v)
        AddMelody(a.Smf(), a.Part(v), ParseMelody(tune + tune, Bars(2 * v, 4), octaves[v]), 92, 0.85);
    AddBass(a.Smf(), a.Part(3), ParseChords(Repeat("C:4", 20)), 36, 84);
    return a.Build(format);
}

// German folk song "Hänschen klein", in Japan "Chōchō".
std::string Chouchou(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 112, 4,
                  {{"Music Box", 0, kMusicBox, 110, 64}, {"Guitar", 1, kNylonGuitar, 80, 40}, {"Bass", 2, kAcousticBass, 96, 64}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("G4q E4q E4h | F4q D4q D4h | C4q D4q E4q F4q | G4q G4q G4h |"
                          "G4q E4q E4h | F4q D4q D4h | C4q E4q G4q G4q | C4w |"
                          "D4q D4q D4q D4q | D4q E4q F4h | E4q E4q E4q E4q | E4q F4q G4h |"
                          "G4q E4q E4h | F4q D4q D4h | C4q E4q G4q G4q | C4w",
                          0, 12),
              100);
    const auto chords = ParseChords("C:4 G7:4 C:4 C:4 C:4 G7:4 C:4 C:4 G7:4 G7:4 C:4 C:4 C:4 G7:4 C:4 C:4");
    AddAfterbeats(a.Smf(), a.Part(1), chords, 4, 55, 64);
    AddBass(a.Smf(), a.Part(2), chords, 36, 90);
    return a.Build(format);
}

// Scottish traditional, "Auld Lang Syne"; in Japan "Hotaru no hikari". It starts on an upbeat.
std::string Hotaru(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 104, 4,
                  {{"Accordion", 0, kAccordion, 100, 64}, {"Guitar", 1, kNylonGuitar, 78, 88}, {"Bass", 2, kAcousticBass, 96, 64}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("C4q | F4q. F4e F4q A4q | G4q. F4e G4q A4e G4e | F4q. F4e A4q C5q | D5h. D5q |"
                          "C5q. A4e A4q F4q | G4q. F4e G4q A4e G4e | F4q. D4e D4q C4q | F4h. D5q |"
                          "C5q. A4e A4q F4q | G4q. F4e G4q D5q | C5q. A4e A4q C5q | D5h. F5q |"
                          "C5q. A4e A4q F4q | G4q. F4e G4q A4e G4e | F4q. D4e D4q C4q | F4w"),
              96, 0.92);
    const auto chords = ParseChords("F:4 C7:4 F:4 Bb:4 F:4 C7:4 Bb:2 C7:2 F:4 F:4 C7:4 F:4 Bb:4 F:4 C7:4 Bb:2 C7:2 F:4", kBeat);
    AddAfterbeats(a.Smf(), a.Part(1), chords, 4, 53, 60);
    AddBass(a.Smf(), a.Part(2), chords, 36, 88);
    return a.Build(format);
}

// Minuet in G major, BWV Anh. 114, by Christian Petzold.
std::string Minuet(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 112, 3, {{"Right hand", 0, kHarpsichord, 100, 72}, {"Left hand", 1, kHarpsichord, 90, 56}});
    const std::string opening = "D5q G4e A4e B4e C5e | D5q G4q G4q | E5q C5e D5e E5e F#5e | G5q G4q G4q |"
                                "C5q D5e C5e B4e A4e | B4q C5e B4e A4e G4e |";
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody(opening + "F#4q G4e A4e B4e G4e | A4h. |" + opening + "A4q B4e A4e G4e F#4e | G4h."), 92, 0.85);
    AddMelody(a.Smf(), a.Part(1),
              ParseMelody("G3h A3q | B3h. | C4h. | B3h. | A3h. | G3h. | D4q B3q G3q | D4q D3q C4q |"
                          "B3h A3q | G3q B3q G3q | C4h. | B3q C4e B3e A3e G3e | A3h F#3q | G3h B3q | C4q D4q D3q | G3h G2q"),
              84, 0.85);
    return a.Build(format);
}

// Ludwig van Beethoven, the theme of the last movement of the ninth symphony.
std::string Ode(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 116, 4,
                  {{"Violins", 0, kStrings, 108, 56}, {"Horns", 1, kHorn, 70, 80}, {"Basses", 2, kPizzicato, 96, 64}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | E4q. D4e D4h |"
                          "E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | D4q. C4e C4h |"
                          "D4q D4q E4q C4q | D4q E4e F4e E4q C4q | D4q E4e F4e E4q D4q | C4q D4q G3h |"
                          "E4q E4q F4q G4q | G4q F4q E4q D4q | C4q C4q D4q E4q | D4q. C4e C4h",
                          0, 12),
              100, 0.95);
    const auto chords = ParseChords("C:4 G:4 C:4 G:4 C:4 G:4 C:4 G:2 C:2 G:4 G:2 C:2 G:4 C:2 G:2 C:4 G:4 C:4 G:2 C:2");
    AddPad(a.Smf(), a.Part(1), chords, 53, 56);
    AddBass(a.Smf(), a.Part(2), chords, 36, 90);
    return a.Build(format);
}

// French folk tune ("Ah ! vous dirai-je, maman").
std::string Twinkle(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 96, 4, {{"Celesta", 0, kCelesta, 112, 64}, {"Harp", 1, kHarp, 84, 64}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("C4q C4q G4q G4q | A4q A4q G4h | F4q F4q E4q E4q | D4q D4q C4h |"
                          "G4q G4q F4q F4q | E4q E4q D4h | G4q G4q F4q F4q | E4q E4q D4h |"
                          "C4q C4q G4q G4q | A4q A4q G4h | F4q F4q E4q E4q | D4q D4q C4h",
                          0, 12),
              100);
    AddArpeggio(a.Smf(), a.Part(1),
                ParseChords("C:4 F:2 C:2 F:2 C:2 G:2 C:2 C:2 G:2 C:2 G:2 C:2 G:2 C:2 G:2 C:4 F:2 C:2 F:2 C:2 G:2 C:2"),
                48, 70);
    return a.Build(format);
}

// French traditional, "Frère Jacques", as a round in three voices, each twice through.
std::string Frere(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 140, 4,
                  {{"Piano", 0, kPiano, 100, 64}, {"Vibraphone", 1, kVibraphone, 96, 32}, {"Cello", 2, kCello, 100, 96},
                   {"Bass", 3, kAcousticBass, 90, 64}});
    const std::string tune =
        "C4q D4q E4q C4q | C4q D4q E4q C4q | E4q F4q G4h | E4q F4q G4h |"
        "G4e A4e G4e F4e E4q C4q | G4e A4e G4e F4e E4q C4q | C4q G3q C4h | C4q G3q C4h |";
    const int octaves[3] = {12, 0, -12};
    for (int v = 0; v < 3; ++v)
        AddMelody(a.Smf(), a.Part(v), ParseMelody(tune + tune, Bars(2 * v, 4), octaves[v]), 90, 0.85);
    AddBass(a.Smf(), a.Part(3), ParseChords(Repeat("C:4", 20)), 36, 80);
    return a.Build(format);
}

// Traditional hymn tune "New Britain".
std::string Amazing(TitleEvent kind, const std::string& title, int format) {
    Arrangement a(kind, title, 76, 3,
                  {{"Pan Flute", 0, kPanFlute, 108, 64}, {"Organ", 1, kChurchOrgan, 64, 64}, {"Bass", 2, kFingerBass, 84, 64}});
    AddMelody(a.Smf(), a.Part(0),
              ParseMelody("D4q | G4h B4e G4e | B4h A4q | G4h E4q | D4h D4q | G4h B4e G4e | B4h A4q | D5h. |"
                          "D5h B4q | D5q. B4e D5e B4e | G4h D4q | E4q. G4e G4e E4e | D4h D4q | G4h B4e G4e | B4h A4q | G4h."),
              96, 0.95);
    const auto chords = ParseChords("G:3 G:3 C:3 G:3 G:3 D:3 D:3 G:3 G:3 G:3 C:3 G:3 G:3 D:3 G:3", kBeat);
    AddPad(a.Smf(), a.Part(1), chords, 55, 54);
    AddBass(a.Smf(), a.Part(2), chords, 36, 80);
    return a.Build(format);
}

// Our own: a walk in the morning, in D major with a light band.
std::string MorningWalk(TitleEvent kind, const std::string& title, int format) {
    const Tune tune = Compose({62, false, 4, "D:4 Bm:4 Em:2 A:2 D:4", "G:4 A:4 F#m:4 A7:4", 20240501});
    Arrangement a(kind, title, 120, 4,
                  {{"Piano", 0, kPiano, 104, 64}, {"Guitar", 1, kSteelGuitar, 76, 88}, {"Bass", 2, kFingerBass, 96, 64},
                   {"Drums", 9, 0, 84, 64}});
    AddMelody(a.Smf(), a.Part(0), tune.melody, 96);
    AddAfterbeats(a.Smf(), a.Part(1), tune.chords, 4, 55, 62);
    AddBass(a.Smf(), a.Part(2), tune.chords, 38, 90);
    AddDrums(a.Smf(), a.DrumTrack(3), 0, tune.bars, 4);
    return a.Build(format);
}

// Our own: a waltz at dusk, in A minor.
std::string EveningWaltz(TitleEvent kind, const std::string& title, int format) {
    const Tune tune = Compose({69, true, 3, "Am:3 Dm:3 Em:3 Am:3", "F:3 G:3 C:3 E7:3", 19870712});
    Arrangement a(kind, title, 108, 3,
                  {{"Bandoneon", 0, kTangoAccordion, 100, 64}, {"Guitar", 1, kNylonGuitar, 80, 40},
                   {"Bass", 2, kAcousticBass, 92, 64}});
    AddMelody(a.Smf(), a.Part(0), tune.melody, 94, 0.92);
    AddAfterbeats(a.Smf(), a.Part(1), tune.chords, 3, 52, 60);
    AddBass(a.Smf(), a.Part(2), tune.chords, 33, 88);
    return a.Build(format);
}

// Our own, left without a title on purpose: the player shows it as "title not set".
std::string Untitled(TitleEvent kind, const std::string& title, int format) {
    const Tune tune = Compose({65, false, 4, "F:4 Dm:4 Bb:2 C:2 F:4", "Bb:4 C:4 Am:4 C7:4", 31415926});
    Arrangement a(kind, title, 104, 4,
                  {{"Electric Piano", 0, kElectricPiano, 104, 64}, {"Pad", 1, kWarmPad, 70, 64},
                   {"Bass", 2, kSynthBass, 92, 64}, {"Drums", 9, 0, 80, 64}});
    AddMelody(a.Smf(), a.Part(0), tune.melody, 96);
    AddPad(a.Smf(), a.Part(1), tune.chords, 53, 50);
    AddBass(a.Smf(), a.Part(2), tune.chords, 29, 92);
    AddDrums(a.Smf(), a.DrumTrack(3), 0, tune.bars, 4);
    return a.Build(format);
}

using Maker = std::string (*)(TitleEvent, const std::string&, int);

// The RCP songs take only their title.
std::string Canon(TitleEvent, const std::string& title, int) { return CanonRcp(title); }
std::string Greensleeves(TitleEvent, const std::string& title, int) { return GreensleevesRcp(title); }
std::string BoatSong(TitleEvent, const std::string& title, int) { return BoatSongRcp(title); }

struct SongPlan {
    const char* file;
    bool archived;
    int group;
    char map;
    SongFileKind fileKind;
    TitleEvent kind;
    const char* title;
    const char* listTitle;  // nullptr: not read yet
    int format;
    Maker make;
};

const TitleEvent kName = TitleEvent::TrackName, kText = TitleEvent::Text, kNone = TitleEvent::None;
const SongFileKind kSmf = SongFileKind::Smf, kRcp2 = SongFileKind::Rcp2, kRcp3 = SongFileKind::Rcp3;

const SongPlan kPlan[] = {
    {"sakura.mid", true, 0, '3', kSmf, kName, "さくらさくら", nullptr, 0, Sakura},
    {"kaeru.mid", true, 0, '1', kSmf, kText, "かえるのうた", nullptr, 1, Kaeru},
    {"CHOUCHOU.MID", false, 0, '0', kSmf, kName, "ちょうちょう", "ちょうちょう", 0, Chouchou},
    {"hotaru.mid", true, 0, '2', kSmf, kText, "蛍の光", "蛍の光", 1, Hotaru},
    {"tsukiyo.rcp", true, 0, '3', kRcp3, kNone, "月夜の舟歌", nullptr, 0, BoatSong},
    {"MINUET.MID", false, 1, '4', kSmf, kName, "Minuet in G major", "メヌエット ト長調 (ペツォールト)", 1, Minuet},
    {"ODE.MID", false, 1, '3', kSmf, kText, "Ode to Joy", nullptr, 0, Ode},
    {"CANON.RCP", false, 1, '1', kRcp2, kNone, "カノン ニ長調", nullptr, 0, Canon},
    {"TWINKLE.MID", false, 2, '3', kSmf, kName, "きらきら星", nullptr, 1, Twinkle},
    {"FRERE.MID", false, 2, '0', kSmf, kText, "Frere Jacques", "フレール・ジャック (輪唱)", 1, Frere},
    {"AMAZING.MID", false, 2, '1', kSmf, kName, "Amazing Grace", "アメージング・グレース", 0, Amazing},
    {"GREENSL.RCP", false, 2, '0', kRcp2, kNone, "グリーンスリーブス", "グリーンスリーブス (イングランド民謡)", 0, Greensleeves},
    {"ORIG01.MID", false, 3, '3', kSmf, kName, "朝の散歩", nullptr, 1, MorningWalk},
    {"ORIG02.MID", false, 3, '4', kSmf, kText, "夕暮れのワルツ", "夕暮れのワルツ", 0, EveningWaltz},
    {"ORIG03.MID", false, 3, '0', kSmf, kNone, "", nullptr, 1, Untitled},
};

}  // namespace

std::string Cp932(const std::string& utf8) {
    auto bytes = Utf8ToCp932(utf8);
    if (!bytes) throw std::invalid_argument("not CP932: " + utf8);
    return *bytes;
}

std::vector<DemoSong> DemoSongs() {
    std::vector<DemoSong> songs;
    for (const SongPlan& p : kPlan) {
        DemoSong s;
        s.file = p.file;
        s.archived = p.archived;
        s.group = p.group;
        s.map = p.map;
        s.kind = p.fileKind;
        s.titleEvent = p.kind;
        s.title = p.title;
        if (p.listTitle) s.listTitle = p.listTitle;
        s.format = p.format;
        s.bytes = p.make(p.kind, Cp932(p.title), p.format);
        songs.push_back(std::move(s));
    }
    return songs;
}

}  // namespace kyro::demo
