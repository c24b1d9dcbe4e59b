#pragma once
// Which SoundFonts the synthesizer loads: the files [MIDI] SoundFont= names, or the best set
// installed. FluidSynth stacks the fonts it loads and searches the one loaded last first, so a
// set is kept in load order, the last on top. Plain C++ with no sound library, so that the
// System dialog can show the set without loading the output module.

#include <filesystem>
#include <string>
#include <vector>

namespace kyro {

// SoundFont= holds one path, or several separated by this, the last on top.
inline constexpr char kSoundFontListSeparator = ';';

// The members of a SoundFont= value in load order, each trimmed; empty members are dropped.
std::vector<std::string> SplitSoundFontList(const std::string& list);

// The value with each relative member taken from `base` (the program folder), joined again.
std::string ResolveSoundFontList(const std::string& list, const std::filesystem::path& base);

// Debian's usual places for a General MIDI SoundFont: files tried first, in order, then every
// *.sf2 / *.sf3 in the folders, by name.
struct SoundFontPlaces {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};
const SoundFontPlaces& UsualSoundFontPlaces();

// The first SoundFont that exists in the places; empty when there is none.
std::string FindSoundFont(const SoundFontPlaces& places);

// Sets that play GS songs (variation tones and drum kits), best first, each in load order.
using SoundFontSets = std::vector<std::vector<std::string>>;
const SoundFontSets& GsSoundFontSets();

// The first set whose files all exist, else the first General MIDI font of `places` alone;
// empty when there is neither.
std::vector<std::string> FindSoundFontSet(const SoundFontSets& sets, const SoundFontPlaces& places);

struct SoundFontChoice {
    std::vector<std::string> files;  // in load order; empty when nothing was found or one is missing
    std::string missing;             // a file the setting names that does not exist
};

// What a SoundFont= value (native paths, resolved) loads: its files, every one of which must
// exist; or, when it names none, the GS set found, else a General MIDI font.
SoundFontChoice ChooseSoundFonts(const std::string& setting);

}  // namespace kyro
