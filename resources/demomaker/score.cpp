#include "score.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace kyro::demo {

namespace {

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '|')) ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\n' && text[i] != '|') ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

[[noreturn]] void Bad(std::string_view what, std::string_view token) {
    throw std::invalid_argument(std::string(what) + " \"" + std::string(token) + "\"");
}

// "C", "F#", "Bb" at the start of `t`: the pitch class and the characters used.
int PitchClass(std::string_view t, std::size_t& used) {
    static const int kLetters[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (t.empty() || t[0] < 'A' || t[0] > 'G') Bad("no note letter in", t);
    int pc = kLetters[t[0] - 'A'];
    used = 1;
    if (t.size() > 1 && t[1] == '#') pc += 1, used = 2;
    else if (t.size() > 1 && t[1] == 'b') pc += 11, used = 2;
    return pc % 12;
}

std::uint32_t Length(std::string_view t, std::string_view token) {
    if (t.empty()) Bad("no length in", token);
    std::uint32_t ticks = 0;
    switch (t[0]) {
    case 'w': ticks = 4 * kBeat; break;
    case 'h': ticks = 2 * kBeat; break;
    case 'q': ticks = kBeat; break;
    case 'e': ticks = kBeat / 2; break;
    case 's': ticks = kBeat / 4; break;
    default: Bad("unknown length in", token);
    }
    if (t.size() == 2 && t[1] == '.') return ticks * 3 / 2;
    if (t.size() != 1) Bad("unknown length in", token);
    return ticks;
}

// Returns a key from 0 to 127; refuses anything else, or the velocity byte would carry it.
int CheckedKey(int key, std::string_view token) {
    if (key < 0 || key > 127) Bad("key out of range in", token);
    return key;
}

}  // namespace

std::vector<ScoreNote> ParseMelody(std::string_view text, std::uint32_t startTick, int transpose) {
    std::vector<ScoreNote> notes;
    std::uint32_t tick = startTick;
    for (std::string_view token : Tokens(text)) {
        if (token[0] == 'r') {
            tick += Length(token.substr(1), token);
            continue;
        }
        std::size_t used = 0;
        const int pc = PitchClass(token, used);
        if (used >= token.size() || token[used] < '0' || token[used] > '8') Bad("no octave in", token);
        const int octave = token[used] - '0';
        // B#, Cb and the like are not used; a flat C would belong to the octave below.
        const int key = CheckedKey(12 * (octave + 1) + pc + transpose, token);
        const std::uint32_t length = Length(token.substr(used + 1), token);
        notes.push_back({tick, length, key});
        tick += length;
    }
    return notes;
}

std::vector<Chord> ParseChords(std::string_view text, std::uint32_t startTick) {
    std::vector<Chord> chords;
    std::uint32_t tick = startTick;
    for (std::string_view token : Tokens(text)) {
        const std::size_t colon = token.find(':');
        if (colon == std::string_view::npos || colon + 1 >= token.size()) Bad("no beats in", token);
        const int beats = std::stoi(std::string(token.substr(colon + 1)));
        if (beats <= 0) Bad("no beats in", token);
        const std::uint32_t length = static_cast<std::uint32_t>(beats) * kBeat;
        const std::string_view name = token.substr(0, colon);
        if (name != "r") {
            std::size_t used = 0;
            Chord c;
            c.tick = tick;
            c.length = length;
            c.root = PitchClass(name, used);
            const std::string_view quality = name.substr(used);
            if (quality.empty()) c.intervals = {0, 4, 7};
            else if (quality == "m") c.intervals = {0, 3, 7};
            else if (quality == "7") c.intervals = {0, 4, 7, 10};
            else if (quality == "m7") c.intervals = {0, 3, 7, 10};
            else if (quality == "maj7") c.intervals = {0, 4, 7, 11};
            else if (quality == "5") c.intervals = {0, 7};
            else Bad("unknown chord quality in", token);
            chords.push_back(std::move(c));
        }
        tick += length;
    }
    return chords;
}

std::uint32_t EndOf(const std::vector<ScoreNote>& notes) {
    std::uint32_t end = 0;
    for (const ScoreNote& n : notes) end = std::max(end, n.tick + n.length);
    return end;
}

std::uint32_t EndOf(const std::vector<Chord>& chords) {
    std::uint32_t end = 0;
    for (const Chord& c : chords) end = std::max(end, c.tick + c.length);
    return end;
}

std::vector<int> ChordKeys(const Chord& chord, int low) {
    std::vector<int> keys;
    for (int iv : chord.intervals) {
        int key = low + ((chord.root + iv - low) % 12 + 12) % 12;
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

namespace {

// A little life in the dynamics: every fourth beat leans in, and the eighths wobble by a step or two.
int Lean(std::uint32_t tick, int velocity) {
    const int v = velocity + ((tick % (4 * kBeat)) == 0 ? 6 : 0) - static_cast<int>((tick / (kBeat / 2)) % 3);
    return std::clamp(v, 1, 127);
}

std::uint32_t Sounding(std::uint32_t length, double share) {
    return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(length * share)));
}

}  // namespace

void AddMelody(SmfBuilder& smf, Voice v, const std::vector<ScoreNote>& notes, int velocity, double legato) {
    for (const ScoreNote& n : notes)
        smf.Note(v.track, n.tick, Sounding(n.length, legato), v.channel, n.key, Lean(n.tick, velocity));
}

void AddPad(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity) {
    for (const Chord& c : chords)
        for (int key : ChordKeys(c, low)) smf.Note(v.track, c.tick, Sounding(c.length, 0.98), v.channel, key, velocity);
}

void AddBass(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity) {
    for (const Chord& c : chords) {
        const int root = ChordKeys(Chord{0, 0, c.root, {0}}, low).front();
        if (c.length >= 4 * kBeat) {
            const std::uint32_t half = c.length / 2;
            smf.Note(v.track, c.tick, Sounding(half, 0.9), v.channel, root, Lean(c.tick, velocity));
            smf.Note(v.track, c.tick + half, Sounding(c.length - half, 0.9), v.channel, root + 7 > low + 12 ? root - 5 : root + 7,
                     Lean(c.tick + half, velocity));
        } else {
            smf.Note(v.track, c.tick, Sounding(c.length, 0.9), v.channel, root, Lean(c.tick, velocity));
        }
    }
}

void AddAfterbeats(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int beatsPerBar, int low, int velocity) {
    const std::uint32_t bar = static_cast<std::uint32_t>(beatsPerBar) * kBeat;
    // Bars are counted from the first chord, which comes after the upbeat of a song that has one.
    const std::uint32_t downbeat = chords.empty() ? 0 : chords.front().tick % bar;
    for (const Chord& c : chords)
        for (std::uint32_t t = c.tick; t < c.tick + c.length; t += kBeat) {
            if ((t + bar - downbeat) % bar == 0) continue;
            for (int key : ChordKeys(c, low)) smf.Note(v.track, t, kBeat / 2, v.channel, key, velocity);
        }
}

void AddArpeggio(SmfBuilder& smf, Voice v, const std::vector<Chord>& chords, int low, int velocity) {
    for (const Chord& c : chords) {
        std::vector<int> keys = ChordKeys(c, low);
        keys.push_back(keys.front() + 12);
        // up and back down: 0 1 2 3 2 1 0 1 ...
        std::vector<int> cycle = keys;
        for (int i = static_cast<int>(keys.size()) - 2; i > 0; --i) cycle.push_back(keys[i]);
        std::size_t i = 0;
        for (std::uint32_t t = c.tick; t < c.tick + c.length; t += kBeat / 2, ++i)
            smf.Note(v.track, t, kBeat / 2, v.channel, cycle[i % cycle.size()], Lean(t, velocity));
    }
}

void AddDrums(SmfBuilder& smf, int track, std::uint32_t startTick, int bars, int beatsPerBar) {
    constexpr int kChannel = 9;
    constexpr int kKick = 36, kSnare = 38, kClosedHat = 42, kCrash = 49;
    const std::uint32_t bar = static_cast<std::uint32_t>(beatsPerBar) * kBeat;
    smf.Note(track, startTick, kBeat, kChannel, kCrash, 90);
    for (int b = 0; b < bars - 1; ++b) {
        const std::uint32_t t0 = startTick + b * bar;
        for (int beat = 0; beat < beatsPerBar; ++beat) {
            const std::uint32_t t = t0 + beat * kBeat;
            smf.Note(track, t, kBeat / 4, kChannel, beat % 2 == 0 ? kKick : kSnare, beat % 2 == 0 ? 100 : 88);
            smf.Note(track, t, kBeat / 4, kChannel, kClosedHat, 70);
            smf.Note(track, t + kBeat / 2, kBeat / 4, kChannel, kClosedHat, 52);
        }
    }
    const std::uint32_t last = startTick + (bars - 1) * bar;
    smf.Note(track, last, kBeat, kChannel, kKick, 105);
    smf.Note(track, last, kBeat, kChannel, kCrash, 100);
}

}  // namespace kyro::demo
