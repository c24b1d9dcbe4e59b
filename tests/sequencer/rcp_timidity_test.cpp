// The RCP reader against TiMidity++ (Debian's timidity, 2.14) as a black box: songs written with
// the RCP writer, in both generations, are read by our reader and converted to a MIDI file by
// timidity -Om; the notes (channel, key, velocity, start, length) and the other channel messages
// (programs, banks, controllers, pressure) must agree.
//
// What timidity writes, and how the comparison takes it:
// - 144 ticks a quarter note whatever the song's time base, with times up to one of its ticks
//   early: times may differ by one such tick at the slowest tempo of the song, plus 1 ms.
// - A 120 BPM tempo before the song's own, at tick 0: harmless, the song's comes after it.
// - A time-signature meta event whose length says 4 bytes but that holds 2: repaired before
//   reading (the 2 is written back into the length).
// - No exclusives: the songs here hold none.
// - Nothing before the first note: the silence before it is dropped (--preserve-silence does not
//   change that in its MIDI output), so every song here has a note at tick 0.
//
// Where timidity and the format's rules part, our reader follows the rules, and the songs here
// stay clear of the difference:
// - Pitch bend: timidity loses the top byte; ours sends p1 as the LSB and p2 as the MSB (EE).
// - Bank LSB and program (E1): timidity sends nothing at all; ours sends the bank select LSB
//   (Bn 20 p2) and then the program (Cn p1), as its sibling E2 does with the MSB.
// - E6 with p1 0: timidity plays on channel 16; 0 turns the track's output off (1-16 are the
//   channels), so ours sends nothing.
// - Programs 0x80 and up (EC): timidity drops the top bit; these picked user patches of an old
//   synthesizer, and ours skips them. Likewise a controller number or value, or a velocity,
//   above 127: timidity drops the top bit; ours skips the message, as no MIDI data byte holds it.
// - FF: timidity reads on past it; ours ends the track there, as files that use it mean.
// - 3.x tempo fields above 255 (the header's BPM, E7's p1; both 16-bit there): timidity takes the
//   low byte; ours takes E7's whole factor, and a header tempo beyond 8-250 BPM as 120.
// - Key shift 0x40: timidity adds +64; the byte is a 7-bit signed value, so ours shifts by -64.
// - Keys beyond 0-127 after transposition: timidity wraps them; ours drops the note, which
//   never sounds a key in a wrong octave.
// - Play bias on a track whose key shift byte is 0x80 or more: timidity adds it; such a track
//   (a rhythm track) is not transposed at all, so ours leaves its keys alone.
// - Negative ST+: timidity clamps the track's start to 0; ours delays every track by the most
//   negative value, which keeps the tracks together.
// - Tempo changes on a channel-off track: timidity ignores them; ours applies them, since
//   songs keep their tempo on such a silent conductor track.
// - Loop counts 0 and 255: timidity plays the body once; they mean "forever", which ours caps
//   at two passes so that the song ends.
// - A gradual tempo change (E7 with p2 > 0): timidity jumps at once; ours glides in a
//   straight ramp.
// - A same-measure record pointing at itself or at a record that points back: timidity hangs;
//   ours gives up on the cycle. Every run of timidity here has a time limit anyway.
#include "rcpwriter.h"

#include "sequencer/midifile.h"
#include "sequencer/rcpfile.h"
#include "sequencer/songdump.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

namespace kyro {
namespace {

using test::Command;
using test::MeasureEnd;
using test::Note;
using test::RcpGeneration;
using test::RcpRecord;
using test::RcpSong;
using test::RcpTrack;

constexpr char kSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";

bool TimidityInstalled() { return std::system("command -v timidity >/dev/null 2>&1") == 0; }

// TiMidity++ writes the time signature as FF 58 04 nn dd, two bytes short of its length; the next
// delta time and status follow at once, and a status byte is never a time-signature value.
void RepairTimeSignatures(std::string& smf) {
    for (std::size_t at = smf.find("\xFF\x58\x04"); at != std::string::npos; at = smf.find("\xFF\x58\x04", at + 1))
        if (at + 6 < smf.size() && ((smf[at + 5] & 0x80) || (smf[at + 6] & 0x80))) smf[at + 2] = 2;
}

// The song as timidity reads it, through its MIDI file output; error text when that fails.
SongReadResult ReadWithTimidity(const std::vector<std::uint8_t>& rcp) {
    test::TempFolder folder;
    folder.Write("song.rcp", std::string(rcp.begin(), rcp.end()));
    folder.Write("timidity.cfg", std::string("soundfont ") + kSoundFont + "\n");
    const std::string command = "timeout -k 5 60 timidity -c '" + folder.Native("timidity.cfg") + "' -Om -o '" +
                                folder.Native("song.mid") + "' '" + folder.Native("song.rcp") + "' >'" +
                                folder.Native("log.txt") + "' 2>&1";
    SongReadResult r;
    if (std::system(command.c_str()) != 0) {
        r.error = "timidity failed or ran out of time: " + folder.Read("log.txt");
        return r;
    }
    std::string smf = folder.Read("song.mid");
    RepairTimeSignatures(smf);
    r = ReadMidiFile(reinterpret_cast<const std::uint8_t*>(smf.data()), smf.size());
    if (!r.ok) r.error = "timidity's MIDI file does not read: " + r.error;
    return r;
}

struct SoundedNote {
    int channel, key, velocity;
    std::int64_t startUs, lengthUs;
};

std::string Describe(const SoundedNote& n) {
    std::ostringstream s;
    s << "ch " << n.channel << " key " << n.key << " vel " << n.velocity << " at " << n.startUs << " for " << n.lengthUs;
    return s.str();
}

// Note-ons paired with the note-offs (or velocity 0 note-ons) after them, first in first out;
// an off with nothing sounding is ignored. By channel, key and start.
std::vector<SoundedNote> NotesOf(const Song& song) {
    std::vector<SoundedNote> notes;
    std::map<std::pair<int, int>, std::deque<std::size_t>> sounding;
    for (const SongEvent& e : song.events) {
        const std::uint8_t kind = e.message[0] & 0xF0;
        if ((kind != 0x80 && kind != 0x90) || e.message.size() < 3) continue;
        const int channel = e.message[0] & 0x0F, key = e.message[1], velocity = e.message[2];
        auto& open = sounding[{channel, key}];
        if (kind == 0x90 && velocity > 0) {
            open.push_back(notes.size());
            notes.push_back({channel, key, velocity, e.timeUs, 0});
        } else if (!open.empty()) {
            notes[open.front()].lengthUs = e.timeUs - notes[open.front()].startUs;
            open.pop_front();
        }
    }
    std::stable_sort(notes.begin(), notes.end(), [](const SoundedNote& a, const SoundedNote& b) {
        return std::tie(a.channel, a.key, a.startUs) < std::tie(b.channel, b.key, b.startUs);
    });
    return notes;
}

// Programs, controllers, pressure and bends, in the order played within each channel.
std::vector<SongEvent> ChannelMessagesOf(const Song& song) {
    std::vector<SongEvent> out;
    for (const SongEvent& e : song.events) {
        const std::uint8_t kind = e.message[0] & 0xF0;
        if (kind >= 0xA0 && kind <= 0xE0) out.push_back(e);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SongEvent& a, const SongEvent& b) { return (a.message[0] & 0x0F) < (b.message[0] & 0x0F); });
    return out;
}

template <typename T>
std::string List(const std::vector<T>& items, const std::function<std::string(const T&)>& describe) {
    std::string text;
    for (const T& item : items) text += "  " + describe(item) + "\n";
    return text;
}

::testing::AssertionResult SameNotes(const Song& ours, const Song& theirs, std::int64_t toleranceUs) {
    const std::vector<SoundedNote> a = NotesOf(ours), b = NotesOf(theirs);
    const auto fail = [&](const std::string& what) {
        return ::testing::AssertionFailure() << what << "\nours:\n"
                                             << List<SoundedNote>(a, Describe) << "timidity's:\n"
                                             << List<SoundedNote>(b, Describe);
    };
    if (a.empty()) return fail("no notes");
    if (a.size() != b.size()) return fail("different note counts");
    for (std::size_t i = 0; i < a.size(); ++i) {
        const bool same = a[i].channel == b[i].channel && a[i].key == b[i].key && a[i].velocity == b[i].velocity &&
                          std::llabs(a[i].startUs - b[i].startUs) <= toleranceUs &&
                          std::llabs(a[i].lengthUs - b[i].lengthUs) <= toleranceUs;
        if (!same) return fail("notes differ: " + Describe(a[i]) + " / " + Describe(b[i]));
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameChannelMessages(const Song& ours, const Song& theirs, std::int64_t toleranceUs) {
    const std::vector<SongEvent> a = ChannelMessagesOf(ours), b = ChannelMessagesOf(theirs);
    const auto fail = [&](const std::string& what) {
        return ::testing::AssertionFailure() << what << "\nours:\n"
                                             << List<SongEvent>(a, test::DumpEvent) << "timidity's:\n"
                                             << List<SongEvent>(b, test::DumpEvent);
    };
    if (a.size() != b.size()) return fail("different counts of channel messages");
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].message != b[i].message || std::llabs(a[i].timeUs - b[i].timeUs) > toleranceUs)
            return fail("channel messages differ: " + test::DumpEvent(a[i]) + " / " + test::DumpEvent(b[i]));
    return ::testing::AssertionSuccess();
}

// ---- The songs: each a few tracks of one feature, written for either generation.

RcpSong MakeSong(RcpGeneration g, std::uint16_t timeBase, std::uint16_t tempo, std::vector<RcpTrack> tracks) {
    RcpSong s;
    s.generation = g;
    s.title = "timidity comparison";
    s.timeBase = timeBase;
    s.tempo = tempo;
    s.tracks = std::move(tracks);
    return s;
}

RcpTrack Track(std::uint8_t channel, std::vector<RcpRecord> records) {
    RcpTrack t;
    t.channel = channel;
    t.records = std::move(records);
    return t;
}

RcpSong NotesChordsAndRests(RcpGeneration g) {
    return MakeSong(g, 48, 120,
                    {Track(0, {Note(60, 48, 40, 100), Note(64, 0, 20, 90), Note(67, 0, 30, 80), Note(72, 24, 47, 70),
                               Note(62, 24, 0, 100),   // gate 0: a rest
                               Note(63, 24, 10, 0),    // velocity 0: a rest
                               Note(65, 12, 60, 127),  // legato: sounds on under the next notes
                               Note(67, 12, 6, 1), MeasureEnd(), Note(69, 255, 255, 64)}),
                     Track(1, {Note(48, 96, 90, 80), Note(43, 96, 90, 80), MeasureEnd(), Note(36, 192, 180, 96)}),
                     // A rhythm track: no transposition.
                     [] {
                         RcpTrack t = Track(9, {Note(36, 24, 6, 100), Note(42, 24, 6, 60), Note(38, 24, 6, 90),
                                                Note(42, 24, 6, 60)});
                         t.keyShift = 0x80;
                         t.rhythm = 0x80;
                         return t;
                     }()});
}

RcpSong Ties(RcpGeneration g) {
    return MakeSong(g, 96, 100,
                    {Track(0, {Note(60, 96, 97, 100), Note(60, 96, 120, 90),  // tied: one note of 216 ticks
                               Note(62, 48, 49, 100), Note(62, 48, 49, 80), Note(62, 48, 30, 70),  // a chain of three
                               Note(64, 48, 48, 100), Note(64, 48, 40, 100),  // ends as the next starts: two notes
                               MeasureEnd()}),
                     Track(1, {Note(48, 0, 200, 80), Note(55, 96, 200, 80), Note(48, 96, 60, 70), Note(55, 0, 60, 70)})});
}

RcpSong TranspositionAndStepShift(RcpGeneration g) {
    RcpSong s = MakeSong(g, 48, 132,
                         {Track(0, {Note(60, 48, 40, 100), Note(64, 48, 40, 100)}),
                          Track(1, {Note(60, 48, 40, 90), Note(64, 48, 40, 90)}),
                          Track(2, {Note(60, 48, 40, 80), Note(64, 48, 40, 80)}), Track(3, {Note(40, 48, 40, 70)})});
    s.playBias = 3;
    s.tracks[1].keyShift = 0x05;  // +5
    s.tracks[2].keyShift = 0x7B;  // -5
    s.tracks[2].stepShift = 7;
    s.tracks[3].keyShift = 0x3F;  // +63
    s.tracks[3].stepShift = 40;
    return s;
}

RcpSong MutedAndSilentTracks(RcpGeneration g) {
    RcpSong s = MakeSong(g, 48, 120,
                         {Track(0, {Note(60, 48, 40, 100)}), Track(1, {Command(0xEC, 0, 20), Note(64, 48, 40, 100)}),
                          Track(0xFF, {Command(0xEB, 0, 7, 30), Note(67, 48, 40, 100)}), Track(3, {Note(72, 48, 40, 100)})});
    s.tracks[1].mode = 1;     // muted
    s.tracks[3].mode = 0x20;  // not bit 0: plays
    return s;
}

RcpSong TempoChanges(RcpGeneration g) {
    return MakeSong(g, 480, 90,
                    {Track(0, {Note(60, 240, 200, 100), Command(0xE7, 0, 96), Note(62, 240, 200, 100),
                               Command(0xE7, 0, 32), Note(64, 240, 230, 100), Command(0xE7, 120, 80),
                               Note(65, 240, 200, 100), Note(67, 240, 255, 100)}),
                     Track(1, {Note(48, 200, 150, 80), Note(50, 200, 150, 80), Note(52, 200, 150, 80), Note(53, 200, 150, 80),
                               Note(55, 200, 150, 80)})});
}

RcpSong ChannelCommands(RcpGeneration g) {
    return MakeSong(g, 48, 120,
                    {Track(0, {Command(0xE2, 0, 48, 8), Command(0xEB, 0, 7, 100), Command(0xEB, 0, 10, 20),
                               Note(60, 24, 20, 100), Command(0xEA, 12, 70), Command(0xED, 12, 60, 50),
                               Command(0xEB, 12, 11, 90), Command(0xEC, 0, 5), Note(62, 24, 20, 100),
                               Command(0xEB, 24, 91, 64)}),
                     Track(1, {Command(0xEC, 0, 24), Command(0xEB, 12, 1, 40), Note(55, 48, 40, 90), Command(0xEA, 0, 10),
                               Command(0xEB, 0, 64, 127), Note(57, 48, 40, 90), Command(0xEB, 0, 64, 0)}),
                     // Port B plays on the same channels; E6 moves the track (1-based) while a note sounds.
                     Track(0x12, {Command(0xEC, 0, 40), Note(67, 24, 60, 100), Command(0xE6, 0, 4), Note(69, 24, 20, 100),
                                  Command(0xEC, 0, 41), Note(71, 24, 20, 100)})});
}

// Records that sound nothing and take no time, whatever their step byte holds: a comment and an
// external command with their continuation records, a key signature, a stray continuation,
// unknown codes, the editor's key scan, and measure ends written as FD FD FD FD.
RcpSong SilentRecords(RcpGeneration g) {
    std::vector<RcpRecord> r = {Note(60, 24, 20, 100), Command(0xF6, 0, 'a', 'b')};
    for (const RcpRecord& c : test::Continuation(g, {'c', 'd', 'e', 'f', 'g'})) r.push_back(c);
    r.push_back(Note(62, 24, 20, 100));
    r.push_back(Command(0x99, 24, 1));
    for (const RcpRecord& c : test::Continuation(g, {'x', 'y'})) r.push_back(c);
    for (const RcpRecord& c : {Note(64, 24, 20, 100), Command(0xF7, 30, 1, 1), Command(0xF5, 30), Note(65, 24, 20, 100),
                               Command(0xE0, 24, 1, 1), Command(0xF0, 24), Command(0x85, 24), Command(0xE5, 24),
                               Command(0xFD, 0xFD, 0xFD, 0xFD), Note(67, 24, 20, 100)})
        r.push_back(c);
    return MakeSong(g, 48, 120, {Track(0, r)});
}

RcpSong Loops(RcpGeneration g) {
    return MakeSong(g, 48, 150,
                    {Track(0, {Command(0xF9), Note(60, 24, 20, 100), Note(62, 24, 20, 90), Command(0xF8, 3),  // three passes
                               Command(0xF9), Note(64, 24, 20, 100), Command(0xF8, 2), MeasureEnd(),
                               Command(0xF9), Note(67, 24, 20, 100), Command(0xF9), Note(69, 12, 10, 80), Command(0xF8, 3),
                               Command(0xF8, 2),  // nested: 2 x (67, 3 x 69)
                               Note(72, 48, 40, 100)}),
                     Track(1, {Command(0xF9), Note(48, 48, 40, 80), MeasureEnd(), Command(0xF8, 4), Note(36, 96, 90, 90)})});
}

RcpSong SameMeasures(RcpGeneration g) {
    // Records: 0-2 measure 0, 3-5 measure 1, 6 measure 2 (a same-measure record for measure 0),
    // 7 measure 3 (for measure 1), 8-10 measure 4, 11 measure 5 (for measure 4), 12 measure 6
    // (for measure 2, itself a replay: a chain), then a last measure.
    return MakeSong(g, 48, 120,
                    {Track(0, {Note(60, 48, 40, 100), Note(62, 48, 40, 90), MeasureEnd(),
                               Note(64, 24, 20, 100), Note(65, 72, 60, 90), MeasureEnd(),
                               test::SameMeasure(g, 0, 0),
                               test::SameMeasure(g, 1, 3),
                               Note(67, 48, 40, 100), Note(69, 48, 40, 90), MeasureEnd(),
                               test::SameMeasure(g, 4, 8),
                               test::SameMeasure(g, 2, 6),  // measure 6: the record of measure 2, so measure 0
                               Note(72, 96, 90, 100), MeasureEnd()})});
}

RcpSong ThirtySixTracks(RcpGeneration g) {
    RcpSong s = MakeSong(g, 48, 120, {});
    s.tracks.resize(36);
    s.tracks[0] = Track(0, {Note(60, 48, 40, 100)});
    s.tracks[20] = Track(4, {Command(0xEC, 0, 33), Note(40, 48, 40, 90)});
    s.tracks[35] = Track(15, {Note(84, 24, 20, 80), Note(86, 24, 20, 80)});
    return s;
}

struct Case {
    const char* name;
    RcpSong (*make)(RcpGeneration);
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const Case kCases[] = {
    {"NotesChordsAndRests", NotesChordsAndRests}, {"Ties", Ties},
    {"TranspositionAndStepShift", TranspositionAndStepShift}, {"MutedAndSilentTracks", MutedAndSilentTracks},
    {"TempoChanges", TempoChanges}, {"ChannelCommands", ChannelCommands},
    {"SilentRecords", SilentRecords}, {"Loops", Loops}, {"SameMeasures", SameMeasures},
    {"ThirtySixTracks", ThirtySixTracks},
};

// The slowest tempo the song reaches: the header's, scaled by each E7 (its p1 in 64ths).
double SlowestBpm(const RcpSong& s) {
    double slowest = s.tempo;
    for (const RcpTrack& t : s.tracks)
        for (const RcpRecord& r : t.records)
            if (r.code == 0xE7 && r.p1 > 0) slowest = std::min(slowest, s.tempo * r.p1 / 64.0);
    return slowest;
}

class RcpTimidityTest : public ::testing::TestWithParam<std::tuple<Case, RcpGeneration>> {
protected:
    void SetUp() override {
        if (!TimidityInstalled()) GTEST_SKIP() << "timidity (Debian package timidity) is not installed";
    }
};

TEST_P(RcpTimidityTest, ReadsAsTimidityDoes) {
    const auto& [c, generation] = GetParam();
    const RcpSong song = c.make(generation);
    const std::vector<std::uint8_t> bytes = test::WriteRcp(song);

    const SongReadResult ours = ReadRcpFile(bytes.data(), bytes.size());
    ASSERT_TRUE(ours.ok) << ours.error;
    const SongReadResult theirs = ReadWithTimidity(bytes);
    ASSERT_TRUE(theirs.ok) << theirs.error;

    // One of timidity's 144 ticks a quarter at the slowest tempo, and a millisecond.
    const auto tolerance = static_cast<std::int64_t>(60e6 / (SlowestBpm(song) * 144)) + 1000;
    EXPECT_TRUE(SameNotes(ours.song, theirs.song, tolerance));
    EXPECT_TRUE(SameChannelMessages(ours.song, theirs.song, tolerance));
}

INSTANTIATE_TEST_SUITE_P(Songs, RcpTimidityTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(RcpGeneration::V2, RcpGeneration::V3)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == RcpGeneration::V2 ? "_2x" : "_3x");
                         });

}  // namespace
}  // namespace kyro
