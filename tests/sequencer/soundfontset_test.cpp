// The SoundFonts the synthesizer loads: the set found without a setting, the SoundFont= list
// (its order, the last on top, a missing member), and a GS song's variation tones and drum
// kits as the synthesizer made with the default set really selects them.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/midioutput.h"
#include "sequencer/soundfontset.h"

#include "support/tempfolder.h"

#include <fluidsynth.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace kyro {
namespace {

const std::string kTimGm = "/usr/share/sounds/sf2/TimGM6mb.sf2";
const std::string kFluidGm = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

void Play(fluid_synth_t* synth, std::vector<std::uint8_t> message) {
    PlayOnSynth(synth, message.data(), message.size());
}

// The fonts on the synthesizer's stack, the one searched first first.
std::vector<std::string> FontStack(fluid_synth_t* synth) {
    std::vector<std::string> names;
    for (int i = 0; i < fluid_synth_sfcount(synth); ++i)
        names.push_back(fluid_sfont_get_name(fluid_synth_get_sfont(synth, i)));
    return names;
}

TEST(SoundFontSetTest, AWholeGsSetFirstThenTheNextThenAGeneralMidiFont) {
    struct Case {
        std::vector<std::string> present;
        std::vector<std::string> chosen;
    };
    const Case cases[] = {
        {{"gm.sf2", "gs.sf2", "all.sf3", "tim.sf2"}, {"gm.sf2", "gs.sf2"}},
        {{"gm.sf2", "all.sf3", "tim.sf2"}, {"all.sf3"}},  // a set counts only whole
        {{"gm.sf2", "tim.sf2"}, {"tim.sf2"}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        test::TempFolder folder;
        for (const auto& name : c.present) folder.Write(name, "x");
        const SoundFontSets sets = {{folder.Native("gm.sf2"), folder.Native("gs.sf2")}, {folder.Native("all.sf3")}};
        std::vector<std::string> expected;
        for (const auto& name : c.chosen) expected.push_back(folder.Native(name));
        EXPECT_EQ(FindSoundFontSet(sets, {{folder.Native("tim.sf2")}, {}}), expected) << c.present.size() << " present";
    }
}

// SoundFont= as the settings file holds it, read and loaded: the synthesizer's stack, top first,
// and the font channel 1's piano comes from.
TEST(SoundFontSetTest, TheListLoadsInOrderTheLastOnTopAndEveryMemberMustExist) {
    test::TempFolder folder;
    std::filesystem::create_directories(folder.Native("sf"));
    std::filesystem::create_symlink(kTimGm, folder.Native("sf/tim.sf2"));
    struct Case {
        std::string value;
        std::vector<std::string> stack;
        std::string error;
    };
    const Case cases[] = {
        {kFluidGm + ";" + kTimGm, {kTimGm, kFluidGm}, ""},
        {" " + kTimGm + " ; ;" + kFluidGm + " ", {kFluidGm, kTimGm}, ""},
        {kFluidGm + ";sf/tim.sf2", {folder.Native("sf/tim.sf2"), kFluidGm}, ""},  // from the program folder
        {kTimGm + ";sf/gone.sf2", {}, "SoundFont が見つかりません: " + folder.Native("sf/gone.sf2")},
    };
    for (const Case& c : cases) {
        folder.Write("KYRO32.INI", "[MIDI]\r\nSoundFont=" + c.value + "\r\n");
        const SynthMakeResult made = MakeFluidSynth(ReadOutputSettings(folder.Native("KYRO32.INI")), 44100);
        EXPECT_EQ(made.error, c.error) << c.value;
        if (!made.synth || c.stack.empty()) continue;
        fluid_synth_t* synth = made.synth->Synth();
        EXPECT_EQ(FontStack(synth), c.stack) << c.value;
        fluid_preset_t* piano = fluid_synth_get_channel_preset(synth, 0);
        EXPECT_EQ(fluid_sfont_get_name(fluid_preset_get_sfont(piano)), c.stack.front()) << c.value;
    }
}

// A song written for a GS module selects variation tones with bank select MSB (FluidSynth's
// default "gs" bank selection takes CC0 as the bank) and drum kits by program on channel 10
// (FluidSynth's bank 128). Each selection is made, played and checked on the synthesizer: a
// preset it lacks falls back to another sound.
TEST(SoundFontSetTest, TheDefaultSetPlaysTheVariationTonesAndDrumKitsOfAGsSong) {
    struct Selection {
        int channel;  // 1-16
        int bank;     // CC0; channel 10 ignores it
        int program;  // 1-128, as a GS sound list numbers them
        const char* name;
    };
    const Selection song[] = {
        {1, 8, 1, "Piano 1w"},         {2, 8, 6, "Detuned EP 2"},    {3, 8, 7, "Coupled Hps."},
        {4, 8, 12, "Vibraphone w"},    {5, 8, 15, "Church Bell"},    {6, 8, 17, "Detuned Or.1"},
        {7, 8, 28, "Chorus Gt."},      {8, 8, 29, "Funk Gt."},       {9, 8, 39, "Synth Bass 3"},
        {11, 8, 51, "Syn.Strings 3"},  {12, 8, 63, "Synth Brass 3"}, {13, 8, 81, "Sine Wave"},
        {14, 2, 123, "Thunder"},       {10, 0, 9, "Room"},           {10, 0, 17, "Power"},
        {10, 0, 25, "Electronic"},     {10, 0, 26, "TR-808"},        {10, 0, 33, "Jazz"},
        {10, 0, 41, "Brush"},          {10, 0, 49, "Orchestra"},     {10, 0, 57, "SFX"},
        {10, 0, 128, "CM-64/32L"},
    };
    const SynthMakeResult made = MakeFluidSynth(OutputSettings{}, 44100);
    ASSERT_TRUE(made.synth) << made.error;
    fluid_synth_t* synth = made.synth->Synth();
    Play(synth, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});  // GS reset

    int found = 0;
    std::string fellBack;
    for (const Selection& s : song) {
        const std::uint8_t ch = std::uint8_t(s.channel - 1);
        Play(synth, {std::uint8_t(0xB0 | ch), 0, std::uint8_t(s.bank)});
        Play(synth, {std::uint8_t(0xB0 | ch), 32, 0});
        Play(synth, {std::uint8_t(0xC0 | ch), std::uint8_t(s.program - 1)});
        Play(synth, {std::uint8_t(0x90 | ch), 60, 100});
        std::int16_t sound[2 * 2205];
        fluid_synth_write_s16(synth, 2205, sound, 0, 2, sound, 1, 2);
        Play(synth, {std::uint8_t(0x80 | ch), 60, 0});

        const int wantedBank = s.channel == 10 ? 128 : s.bank;
        fluid_preset_t* preset = fluid_synth_get_channel_preset(synth, ch);
        if (preset && fluid_preset_get_banknum(preset) == wantedBank && fluid_preset_get_num(preset) == s.program - 1)
            ++found;
        else
            fellBack += std::string(" ") + s.name;
    }
    std::printf("GS selections found: %d of %zu with %s; fell back:%s\n", found, std::size(song),
                FontStack(synth).front().c_str(), fellBack.c_str());
    EXPECT_GE(found, 16) << "fell back:" << fellBack;
}

}  // namespace
}  // namespace kyro
