// The table of outputs, the [MIDI] settings, and outputs that cannot open on this machine: each
// must fail with a plain text, never crash or print libasound's noise.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/midioutput.h"
#include "sequencer/outputs.h"
#include "sequencer/outputs_internal.h"

#include "support/tempfolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace kyro {
namespace {

using ::testing::HasSubstr;

// ---- Settings ---------------------------------------------------------------------------------

TEST(OutputSettingsTest, MissingFileOrSectionKeepsTheDefaults) {
    test::TempFolder folder;
    folder.Write("KYRO32.INI", "[Drives]\r\nD=/mnt\r\n");
    for (const std::string& path : {folder.Native("KYRO32.INI"), folder.Native("missing.ini")}) {
        const OutputSettings s = ReadOutputSettings(path);
        EXPECT_EQ(s.output, "fluidsynth");
        EXPECT_EQ(s.soundFont, "");
        EXPECT_EQ(s.audioDriver, "");
        EXPECT_EQ(s.port, "");
        EXPECT_EQ(s.wavFile, "");
        EXPECT_EQ(s.clockScale, 1.0);
    }
}

TEST(OutputSettingsTest, ReadsEveryName) {
    test::TempFolder folder;
    // Values are CP932 like every value of the file: "音色" is 89 B9 90 46.
    folder.Write("KYRO32.INI",
                 "[midi]\r\noutput = WAV\r\nSoundFont=/sf/\x89\xB9\x90\x46.sf2\r\nAudioDriver=pulseaudio\r\n"
                 "Port=SC-88 MIDI 1\r\nWavFile=/rec/out.wav\r\nClockScale=12.5\r\n");
    const OutputSettings s = ReadOutputSettings(folder.Native("KYRO32.INI"));
    EXPECT_EQ(s.output, "wav");
    EXPECT_EQ(s.soundFont, "/sf/音色.sf2");
    EXPECT_EQ(s.audioDriver, "pulseaudio");
    EXPECT_EQ(s.port, "SC-88 MIDI 1");
    EXPECT_EQ(s.wavFile, "/rec/out.wav");
    EXPECT_EQ(s.clockScale, 12.5);
}

TEST(OutputSettingsTest, RelativePathsAreFromTheSettingsFolder) {
    test::TempFolder folder;
    folder.Write("KYRO32.INI", "[MIDI]\r\nSoundFont=sf/GM.sf2\r\nWavFile=../out.wav\r\n");
    const OutputSettings s = ReadOutputSettings(folder.Native("KYRO32.INI"));
    EXPECT_EQ(s.soundFont, folder.Native("sf/GM.sf2"));
    EXPECT_EQ(s.wavFile, std::filesystem::path(folder.Native()).parent_path() / "out.wav");
}

TEST(OutputSettingsTest, ClockScaleThatIsNotAPositiveNumberKeepsRealTime) {
    test::TempFolder folder;
    const std::pair<const char*, double> cases[] = {
        {"10", 10.0}, {"0.25", 0.25}, {"100", 100.0}, {"0", 1.0}, {"-2", 1.0}, {"fast", 1.0},
        {"10x", 1.0}, {"nan", 1.0}, {"inf", 1.0}, {"", 1.0},
    };
    for (const auto& [text, expected] : cases) {
        folder.Write("KYRO32.INI", std::string("[MIDI]\r\nClockScale=") + text + "\r\n");
        EXPECT_EQ(ReadOutputSettings(folder.Native("KYRO32.INI")).clockScale, expected) << "ClockScale=" << text;
    }
}

TEST(OutputSettingsTest, GainOutsideFluidSynthsRangeIsTheDefault) {
    test::TempFolder folder;
    const std::pair<const char*, double> cases[] = {
        {"1", 1.0}, {"0.8", 0.8}, {"0", 0.0}, {"10", 10.0}, {"10.5", kDefaultSynthGain},
        {"-0.1", kDefaultSynthGain}, {"0,8", kDefaultSynthGain}, {"loud", kDefaultSynthGain},
        {"nan", kDefaultSynthGain}, {"", kDefaultSynthGain},
    };
    for (const auto& [text, expected] : cases) {
        folder.Write("KYRO32.INI", std::string("[MIDI]\r\nGain=") + text + "\r\n");
        EXPECT_EQ(ReadOutputSettings(folder.Native("KYRO32.INI")).gain, expected) << "Gain=" << text;
    }
}

// ---- The table --------------------------------------------------------------------------------

TEST(OpenOutputTest, NullAcceptsEverything) {
    OutputSettings s;
    s.output = "Null";
    OutputOpenResult opened = OpenOutput(s);
    ASSERT_TRUE(opened.output) << opened.error;
    const std::uint8_t sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, junk[] = {0x12};
    opened.output->Send(0, sysex, sizeof sysex);
    opened.output->Send(5, junk, sizeof junk);
    opened.output->Send(5, nullptr, 0);
    opened.output->Flush(10);
}

TEST(OpenOutputTest, UnknownNameListsTheKnownOnes) {
    OutputSettings s;
    s.output = "midiman";
    const OutputOpenResult opened = OpenOutput(s);
    EXPECT_FALSE(opened.output);
    EXPECT_THAT(opened.error, HasSubstr("midiman"));
    ASSERT_EQ(KnownOutputs().size(), 4u);
    EXPECT_STREQ(KnownOutputs()[0].name, "fluidsynth");  // the default comes first
    for (const auto& kind : KnownOutputs()) EXPECT_THAT(opened.error, HasSubstr(kind.name));
}

TEST(OpenOutputTest, EmptyNameIsTheDefault) {
    OutputSettings s;
    s.output = "";
    s.soundFont = "/nonexistent/kyro-test.sf2";  // stops the FluidSynth output before any driver
    EXPECT_THAT(OpenOutput(s).error, HasSubstr("/nonexistent/kyro-test.sf2"));
}

TEST(OpenOutputTest, FluidSynthWithAMissingSoundFontIsAnError) {
    for (const char* output : {"fluidsynth", "wav"}) {
        OutputSettings s;
        s.output = output;
        s.soundFont = "/nonexistent/kyro-test.sf2";
        s.wavFile = "/tmp/never-written.wav";
        const OutputOpenResult opened = OpenOutput(s);
        EXPECT_FALSE(opened.output) << output;
        EXPECT_THAT(opened.error, HasSubstr("SoundFont が見つかりません: /nonexistent/kyro-test.sf2")) << output;
    }
}

TEST(OpenOutputTest, FluidSynthWithAFileThatIsNoSoundFontSaysWhy) {
    test::TempFolder folder;
    folder.Write("broken.sf2", std::string("RIFF\x04\0\0\0sfbk", 12));
    OutputSettings s;
    s.soundFont = folder.Native("broken.sf2");
    const OutputOpenResult opened = OpenOutput(s);
    EXPECT_FALSE(opened.output);
    EXPECT_THAT(opened.error, HasSubstr("SoundFont を読めません"));
    EXPECT_THAT(opened.error, HasSubstr("broken.sf2"));
}

class LiveFluidSynthTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (FindSoundFont(UsualSoundFontPlaces()).empty()) GTEST_SKIP() << "no SoundFont installed";
    }
};

// With no sound card (this machine, build servers) the default driver fails: a text that carries
// FluidSynth's reason, and none of libasound's lines on stderr. Where there is a card it plays.
TEST_F(LiveFluidSynthTest, DefaultDriverOpensOrSaysWhyQuietly) {
    testing::internal::CaptureStderr();
    OutputOpenResult opened = OpenOutput(OutputSettings{});
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stderrText.find("ALSA lib"), std::string::npos) << stderrText;
    if (opened.output) {
        const std::uint8_t on[] = {0x90, 60, 1}, off[] = {0x80, 60, 0};
        opened.output->Send(0, on, sizeof on);
        opened.output->Send(0, off, sizeof off);
        return;
    }
    EXPECT_THAT(opened.error, HasSubstr("オーディオ出力を開けません"));
    EXPECT_GT(opened.error.size(), std::string("オーディオ出力を開けません").size() + 10) << opened.error;
}

TEST_F(LiveFluidSynthTest, UnknownAudioDriverCarriesFluidSynthsText) {
    OutputSettings s;
    s.audioDriver = "kyro-no-such-driver";
    testing::internal::CaptureStderr();
    const OutputOpenResult opened = OpenOutput(s);
    const std::string stderrText = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(opened.output);
    EXPECT_THAT(opened.error, HasSubstr("kyro-no-such-driver"));
    EXPECT_THAT(opened.error, HasSubstr("Couldn't find the requested audio driver")) << opened.error;
    EXPECT_EQ(stderrText.find("Couldn't find"), std::string::npos) << "kept for the text, not printed";
}

// FluidSynth's SDL2 driver (here on SDL's silent dummy device) wants SDL's audio started by its
// host, and cannot render through a callback: the output opens, and plays each message as the
// engine sends it.
TEST_F(LiveFluidSynthTest, ADriverWithoutCallbacksPlaysMessagesAsTheyCome) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    OutputSettings s;
    s.audioDriver = "sdl2";
    const OutputOpenResult opened = OpenOutput(s);
    ASSERT_TRUE(opened.output) << opened.error;
    EXPECT_EQ(opened.output->Lookahead().count(), 0);
}

// ---- Ports ------------------------------------------------------------------------------------

TEST(OpenOutputTest, PortWithoutAnAlsaSequencerIsAnError) {
    OutputSettings s;
    s.output = "port";
    s.port = "SC-88";
    const OutputOpenResult opened = OpenOutput(s);
    if (std::filesystem::exists("/dev/snd/seq")) {
        // A machine with a sequencer: a port of that name is most unlikely; either way no crash.
        if (!opened.output) {
            EXPECT_THAT(opened.error, HasSubstr("SC-88"));
        }
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    EXPECT_FALSE(opened.output);
    EXPECT_THAT(opened.error, HasSubstr("ALSA"));
}

TEST(ChoosePortTest, ExactNamePreferredThenContainsWithoutCase) {
    const std::vector<std::string> listed = {
        "Midi Through:Midi Through Port-0 14:0",
        "SC-88 Pro:SC-88 Pro MIDI 1 24:0",
        "SC-88:SC-88 MIDI 1 20:0",
    };
    EXPECT_EQ(ChoosePort(listed, "SC-88:SC-88 MIDI 1 20:0"), 2u);  // as listed, numbers and all
    EXPECT_EQ(ChoosePort(listed, "SC-88:SC-88 MIDI 1"), 2u);       // remembered without the numbers
    EXPECT_EQ(ChoosePort(listed, "SC-88 MIDI 1"), 2u);             // the port's own name
    EXPECT_EQ(ChoosePort(listed, "sc-88 pro"), 1u);                // contained, any case
    EXPECT_EQ(ChoosePort(listed, "SC-88"), 1u);                    // no exact name: the first containing it
    EXPECT_EQ(ChoosePort(listed, "through"), 0u);
}

TEST(ChoosePortTest, NoNameOrNoMatchChoosesNothing) {
    const std::vector<std::string> listed = {"Midi Through:Midi Through Port-0 14:0"};
    EXPECT_EQ(ChoosePort(listed, ""), std::nullopt);  // never a default port
    EXPECT_EQ(ChoosePort(listed, "SC-55"), std::nullopt);
    EXPECT_EQ(ChoosePort({}, "SC-55"), std::nullopt);
}

TEST(ChoosePortTest, NotFoundTextListsThePorts) {
    const std::string text = PortNotFoundText({"Midi Through:Midi Through Port-0 14:0", "U1:U1 MIDI 1 28:0"}, "SC-55");
    EXPECT_THAT(text, HasSubstr("\"SC-55\""));
    EXPECT_THAT(text, HasSubstr("Midi Through:Midi Through Port-0, U1:U1 MIDI 1"));
    EXPECT_THAT(PortNotFoundText({}, ""), HasSubstr("[MIDI] Port="));
    EXPECT_THAT(PortNotFoundText({}, ""), HasSubstr("ありません"));
}

// ---- SoundFont search -------------------------------------------------------------------------

TEST(FindSoundFontTest, PreferredFilesFirstThenFoldersByName) {
    test::TempFolder folder;
    folder.Write("a/zz.sf2", "x");
    folder.Write("a/Bb.SF3", "x");
    folder.Write("a/readme.txt", "x");
    folder.Write("b/preferred.sf2", "x");
    std::filesystem::create_symlink(folder.Native("a/gone.sf2"), folder.Native("a/aa.sf2"));  // dangling
    SoundFontPlaces places{{folder.Native("missing.sf2"), folder.Native("b/preferred.sf2")},
                           {folder.Native("none"), folder.Native("a")}};
    EXPECT_EQ(FindSoundFont(places), folder.Native("b/preferred.sf2"));
    places.files.pop_back();
    EXPECT_EQ(FindSoundFont(places), folder.Native("a/Bb.SF3"));
    places.folders.pop_back();
    EXPECT_EQ(FindSoundFont(places), "");
}

}  // namespace
}  // namespace kyro
