// The WAV output: FluidSynth rendering a generated song by song time, checked as a WAV file, and
// compared with what Debian's fluidsynth command renders from the same Standard MIDI File.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/midifile.h"
#include "sequencer/songfile.h"
#include "sequencer/midioutput.h"

#include "support/tempfolder.h"
#include "testsong.h"
#include "wavreader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace kyro {
namespace {

// The SoundFont the install script brings, whichever one the machine's default-GM.sf2 points at:
// other SoundFonts play louder or softer, and the command must hear the same one as ours.
const std::string kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

constexpr int kRate = 44100;
constexpr long kBlockFrames = 64;  // FluidSynth's internal block: events land on its boundaries
constexpr int kSilence = 8;        // sample level below which a frame counts as silent

class WavRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (kSoundFont.empty()) GTEST_SKIP() << "no SoundFont installed";
    }

    OutputSettings Settings(const std::string& name) const {
        OutputSettings s;
        s.output = "wav";
        s.wavFile = folder_.Native(name);
        s.soundFont = kSoundFont;
        return s;
    }

    // Opens a WAV output, sends the events by their song times, flushes at the end, closes.
    test::WavFileData Render(const std::string& name, const std::vector<SongEvent>& events, std::int64_t endUs) {
        OutputOpenResult opened = OpenOutput(Settings(name));
        EXPECT_TRUE(opened.output) << opened.error;
        if (!opened.output) return {};
        for (const auto& e : events) opened.output->Send(e.timeUs, e.message.data(), e.message.size());
        opened.output->Flush(endUs);
        opened.output.reset();
        return test::ReadWavFile(folder_.Native(name));
    }

    test::TempFolder folder_;
};

TEST_F(WavRenderTest, RendersTheSongAtItsLengthAndNotSilent) {
    const test::WavFileData wav = Render("song.wav", test::TestSongEvents(), test::kTestSongLengthUs);
    ASSERT_EQ(wav.error, "");
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, 44100u);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.riffSize, wav.fileSize - 8);
    EXPECT_EQ(wav.dataBytes, wav.fileSize - 44);
    EXPECT_NEAR(double(wav.Frames()), 2.0 * kRate, kBlockFrames);
    EXPECT_GT(wav.Peak(), 1000) << "the render is silent";
    // The first notes are due at 0.1 s: the sound starts there, not before and not much later.
    EXPECT_NEAR(double(wav.FirstFrameAbove(kSilence)) / kRate, 0.1, 0.005);
    EXPECT_FALSE(folder_.Exists("song.wav.part"));
}

TEST_F(WavRenderTest, LengthFollowsSongTimeNotCallOrder) {
    // A message whose time has passed plays at once; a Flush before the end adds nothing. (The
    // note is over long before the end, so that no release follows it.)
    const std::vector<SongEvent> events = {
        {500000, {0x90, 60, 100}},
        {250000, {0x80, 60, 0}},  // late: the engine was behind
        {1000000, {0xB0, 7, 100}},
    };
    OutputOpenResult opened = OpenOutput(Settings("late.wav"));
    ASSERT_TRUE(opened.output) << opened.error;
    for (const auto& e : events) opened.output->Send(e.timeUs, e.message.data(), e.message.size());
    opened.output->Flush(1500000);
    opened.output->Flush(700000);
    opened.output.reset();
    const test::WavFileData wav = test::ReadWavFile(folder_.Native("late.wav"));
    ASSERT_EQ(wav.error, "");
    EXPECT_NEAR(double(wav.Frames()), 1.5 * kRate, kBlockFrames);
}

// A message takes effect at the 64-frame block nearest its frame, as on the live synthesizer: a
// note due just before or just after a block's start sounds exactly as one due on it.
TEST_F(WavRenderTest, EachMessageTakesEffectAtTheNearestBlock) {
    constexpr long kStart = 100 * kBlockFrames;  // a block's first frame
    const auto noteAt = [&](long frame) {
        const std::int64_t dueUs = (std::int64_t(frame) * 1000000 + kRate - 1) / kRate;  // within that frame
        return Render("nearest.wav", {{dueUs, {0x90, 60, 110}}}, 500000).samples;
    };
    const auto onTheStart = noteAt(kStart), onTheNextStart = noteAt(kStart + kBlockFrames);
    ASSERT_NE(onTheStart, onTheNextStart);
    struct Case {
        long due;
        const std::vector<std::int16_t>& soundsAs;
    };
    for (const Case& c : {Case{kStart - 1, onTheStart}, Case{kStart + 1, onTheStart},
                          Case{kStart + kBlockFrames / 2 - 1, onTheStart},
                          Case{kStart + kBlockFrames / 2, onTheNextStart}})
        EXPECT_TRUE(noteAt(c.due) == c.soundsAs) << "due at frame " << c.due;
}

// When the output closes, the sound after the last message rings on until it is silent, at most
// 3 s: a released note keeps its release and no silence after it; a note never released stops.
TEST_F(WavRenderTest, TheReleaseIsKeptUntilSilentForAtMostThreeSeconds) {
    std::vector<SongEvent> organ = {{0, {0xC0, 16}}, {0, {0x90, 60, 110}}};
    const test::WavFileData held = Render("held.wav", organ, 1000000);
    EXPECT_NEAR(held.Seconds(), 4.0, 1.0 / kRate);

    organ.push_back({1000000, {0x80, 60, 0}});
    const test::WavFileData released = Render("released.wav", organ, 1000000);
    EXPECT_GT(released.Seconds(), 1.05) << "the release was cut";
    EXPECT_LT(released.Seconds(), 4.0) << "the release ran to the limit";
    EXPECT_GE(released.LastFrameAbove(kSilence), long(released.Frames()) - 4096) << "silence after the release";
}

TEST_F(WavRenderTest, EarlierRecordingStaysUntilTheNewOneIsWhole) {
    folder_.Write("take.wav", "the earlier take");
    OutputOpenResult opened = OpenOutput(Settings("take.wav"));
    ASSERT_TRUE(opened.output) << opened.error;
    const std::uint8_t note[] = {0x90, 60, 100};
    opened.output->Send(100000, note, sizeof note);
    opened.output->Flush(300000);
    EXPECT_EQ(folder_.Read("take.wav"), "the earlier take");
    EXPECT_TRUE(folder_.Exists("take.wav.part"));
    opened.output.reset();
    EXPECT_EQ(test::ReadWavFile(folder_.Native("take.wav")).error, "");
    EXPECT_FALSE(folder_.Exists("take.wav.part"));
}

TEST_F(WavRenderTest, OpenFailuresAreTexts) {
    OutputSettings noFile = Settings("");
    noFile.wavFile.clear();
    OutputOpenResult opened = OpenOutput(noFile);
    EXPECT_FALSE(opened.output);
    EXPECT_NE(opened.error.find("WavFile"), std::string::npos) << opened.error;

    opened = OpenOutput(Settings("no such folder/x.wav"));
    EXPECT_FALSE(opened.output);
    EXPECT_NE(opened.error.find("no such folder/x.wav.part"), std::string::npos) << opened.error;
}

// The synthesizer answers a GS reset sent as F0 ... F7: with it, a program chosen before the reset
// is back to the piano. (FluidSynth ignores a SysEx that still has its F0 and F7, and a GS reset
// for device 0x10 unless synth.device-id is 16.)
TEST_F(WavRenderTest, GsResetSysExReachesTheSynthesizer) {
    const std::vector<std::uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    const std::vector<std::uint8_t> violin = {0xC0, 40}, noteOn = {0x90, 60, 100}, noteOff = {0x80, 60, 0};
    const auto rendered = [&](const std::string& name, std::vector<SongEvent> head) {
        head.push_back({100000, noteOn});
        head.push_back({600000, noteOff});
        auto samples = Render(name, head, 1000000).samples;
        samples.resize(std::min(samples.size(), std::size_t(2 * kRate)));  // the second of song time: releases differ
        return samples;
    };
    const auto piano = rendered("piano.wav", {});
    const auto violinThenReset = rendered("reset.wav", {{0, violin}, {50000, gsReset}});
    const auto violinOnly = rendered("violin.wav", {{0, violin}});
    ASSERT_EQ(piano.size(), violinThenReset.size());
    ASSERT_EQ(piano.size(), violinOnly.size());
    const auto difference = [&](const std::vector<std::int16_t>& a) {
        double sum = 0;
        for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(piano[i]));
        return sum;
    };
    // The reset leaves a trace of a few sample steps (the synthesizer's state is not all reset),
    // far below the difference a violin makes.
    EXPECT_GT(difference(violinOnly), 1e6) << "the program change made no difference";
    EXPECT_LT(difference(violinThenReset), difference(violinOnly) / 1000) << "the GS reset was ignored";
}

// The demo's loose songs at the default gain: loud enough to stand beside other players, and not
// one sample at full scale, where FluidSynth clips. (At FluidSynth's own gain of 0.2 the loudest
// peaked near -10 dBFS; at 1.0 it clipped.)
TEST_F(WavRenderTest, DemoSongsAtTheDefaultGainAreLoudButNotClipped) {
    int loudest = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(KYRO_DEMO_DIR) / "SONGS")) {
        const SongReadResult song = ToSong(ReadSongScoreAt(entry.path().string()));  // MIDI and RCP songs
        ASSERT_TRUE(song.ok) << entry.path() << ": " << song.error;
        const test::WavFileData wav = Render("demo.wav", song.song.events, song.song.lengthUs);
        ASSERT_EQ(wav.error, "") << entry.path();
        EXPECT_LT(wav.Peak(), 32767) << entry.path() << " clips";
        loudest = std::max(loudest, wav.Peak());
    }
    EXPECT_GT(loudest, 32768 / 2) << "the loudest demo song stays below -6 dBFS";
}

// ---- Against Debian's fluidsynth command ------------------------------------------------------

std::string FluidSynthCommand() {
    for (const char* path : {"/usr/bin/fluidsynth", "/usr/local/bin/fluidsynth"})
        if (std::filesystem::exists(path)) return path;
    return {};
}

// The command's fast render of a .mid at our synthesizer's gain and with device-id 16 (as ours),
// so that both hear the same GS reset.
test::WavFileData RenderWithCommand(const std::string& command, const test::TempFolder& folder,
                                    const std::string& midi, const std::string& wav) {
    const std::string line = command + " -ni -q -g " + std::to_string(kDefaultSynthGain) + " -r 44100 -T wav -O s16 -o synth.device-id=16 -F '" +
                             folder.Native(wav) + "' '" + kSoundFont + "' '" +
                             folder.Native(midi) + "' >'" + folder.Native("cli.log") + "' 2>&1";
    const int rc = std::system(line.c_str());
    EXPECT_EQ(rc, 0) << line << "\n" << folder.Read("cli.log");
    return test::ReadWavFile(folder.Native(wav));
}

// The same .mid through the reader and our renderer, and through the command. The command's
// player renders on past the end of the track: measured here, 2.0 s past it (and never less than
// about 4.4 s in all, so these songs are long enough to be past that floor). Its length is
// compared after taking that tail off: the tail is measured on one song and must be the same on a
// second song that only ends later. The sound itself must end at the same moment.
TEST_F(WavRenderTest, SameLengthAsDebiansFluidSynthCommand) {
    const std::string command = FluidSynthCommand();
    if (command.empty()) GTEST_SKIP() << "Debian's fluidsynth command is not installed (scripts/install-deps.sh)";

    struct Render {
        test::WavFileData ours, theirs;
    };
    const auto renderBoth = [&](const std::string& base, std::uint32_t endTick) {
        folder_.Write(base + ".mid", test::TestSongMidiFile(endTick));
        const SongReadResult song = ReadMidiFileAt(folder_.Native(base + ".mid"));
        EXPECT_TRUE(song.ok) << song.error;
        EXPECT_EQ(song.song.lengthUs, test::TestSongTickToUs(endTick));
        Render r{this->Render(base + ".wav", song.song.events, song.song.lengthUs),
                 RenderWithCommand(command, folder_, base + ".mid", base + "-cli.wav")};
        EXPECT_EQ(r.ours.error, "");
        EXPECT_EQ(r.theirs.error, "");
        EXPECT_EQ(r.theirs.sampleRate, 44100u);
        return r;
    };
    const Render song = renderBoth("song", 2880);      // the notes of the test song, the end at 3.0 s
    const Render longer = renderBoth("longer", 3840);  // the end at 4.0 s

    const double tail = song.theirs.Seconds() - song.ours.Seconds();
    const double oursLastSound = double(song.ours.LastFrameAbove(kSilence)) / kRate;
    const double theirsLastSound = double(song.theirs.LastFrameAbove(kSilence)) / kRate;
    std::printf("ours %.3f s and %.3f s; the command %.3f s and %.3f s (tail %.3f s); sound until %.3f s "
                "(ours) and %.3f s (the command)\n",
                song.ours.Seconds(), longer.ours.Seconds(), song.theirs.Seconds(), longer.theirs.Seconds(), tail,
                oursLastSound, theirsLastSound);

    EXPECT_NEAR(song.ours.Seconds(), 3.0, double(kBlockFrames) / kRate);
    EXPECT_NEAR(longer.ours.Seconds(), 4.0, double(kBlockFrames) / kRate);
    EXPECT_NEAR(tail, 2.0, 0.1) << "the command's tail changed: look again at how it ends a song";
    EXPECT_NEAR(longer.theirs.Seconds() - tail, longer.ours.Seconds(), 0.050);
    EXPECT_NEAR(oursLastSound, theirsLastSound, 0.050);
}

}  // namespace
}  // namespace kyro
