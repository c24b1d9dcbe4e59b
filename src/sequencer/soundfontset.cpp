// Which SoundFonts the synthesizer loads.
#include "sequencer/soundfontset.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace kyro {

namespace {

std::string Trimmed(const std::string& text) {
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), isSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), isSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

bool IsSoundFontFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;  // follows links; a dangling link is not one
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".sf2" || ext == ".sf3";
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::vector<std::string> SplitSoundFontList(const std::string& list) {
    std::vector<std::string> members;
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = list.find(kSoundFontListSeparator, from);
        std::string member = Trimmed(list.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (!member.empty()) members.push_back(std::move(member));
        if (end == std::string::npos) return members;
        from = end + 1;
    }
}

std::string ResolveSoundFontList(const std::string& list, const std::filesystem::path& base) {
    std::string resolved;
    for (const std::string& member : SplitSoundFontList(list)) {
        const std::filesystem::path path(member);
        if (!resolved.empty()) resolved += kSoundFontListSeparator;
        resolved += path.is_absolute() ? member : (base / path).lexically_normal().string();
    }
    return resolved;
}

const SoundFontPlaces& UsualSoundFontPlaces() {
    static const SoundFontPlaces places{
        {
            // Debian's alternatives link to the General MIDI SoundFont the system prefers.
            "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf2/TimGM6mb.sf2",    // timgm6mb-soundfont (the install script installs it)
            "/usr/share/sounds/sf2/FluidR3_GM.sf2",  // fluid-soundfont-gm
            "/usr/share/sounds/sf3/default-GM.sf3",
            "/usr/share/sounds/sf3/MuseScore_General.sf3",
        },
        {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", "/usr/share/soundfonts"},
    };
    return places;
}

std::string FindSoundFont(const SoundFontPlaces& places) {
    for (const auto& file : places.files)
        if (IsSoundFontFile(file)) return file;
    for (const auto& folder : places.folders) {
        std::error_code ec;
        std::vector<std::string> found;
        for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (IsSoundFontFile(it->path())) found.push_back(it->path().string());
        std::sort(found.begin(), found.end());
        if (!found.empty()) return found.front();
    }
    return {};
}

// The files as Debian 12's packages install them (their file lists). FluidR3 GS holds only what
// FluidR3 GM lacks (the sound-effect variations and the SFX kit), so it goes on top of GM. The
// MuseScore fonts hold GM and GS in one file. MuseScore_General.sf3 is left out here: it is an
// alternatives link that may point at a font without GS sounds (FluidR3 Mono).
const SoundFontSets& GsSoundFontSets() {
    static const SoundFontSets sets{
        {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/FluidR3_GS.sf2"},  // fluid-soundfont-gm, -gs
        {"/usr/share/sounds/sf2/MuseScore_General_Full.sf2"},  // musescore-general-soundfont-lossless
        {"/usr/share/sounds/sf3/MuseScore_General_Full.sf3"},  // musescore-general-soundfont
        {"/usr/share/sounds/sf3/MuseScore_General_Lite.sf3"},  // musescore-general-soundfont-small
    };
    return sets;
}

std::vector<std::string> FindSoundFontSet(const SoundFontSets& sets, const SoundFontPlaces& places) {
    for (const auto& set : sets)
        if (!set.empty() && std::all_of(set.begin(), set.end(), IsSoundFontFile)) return set;
    std::string gm = FindSoundFont(places);
    if (gm.empty()) return {};
    return {std::move(gm)};
}

SoundFontChoice ChooseSoundFonts(const std::string& setting) {
    std::vector<std::string> files = SplitSoundFontList(setting);
    if (files.empty()) return {FindSoundFontSet(GsSoundFontSets(), UsualSoundFontPlaces()), {}};
    for (const std::string& file : files)
        if (!IsFile(file)) return {{}, file};
    return {std::move(files), {}};
}

}  // namespace kyro
