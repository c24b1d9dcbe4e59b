// The table of outputs and the [MIDI] settings that choose one.
#include "sequencer/outputs.h"

#include "sequencer/outputmodule.h"
#include "sequencer/outputs_internal.h"
#include "sequencer/soundfontset.h"

#include "platform/cp932bytes.h"
#include "platform/profile.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace kyro {

namespace {

// An output of the module, which is loaded on the first open.
template <auto Factory>
OutputOpenResult OpenThroughModule(const OutputSettings& settings) {
    std::string error;
    const OutputModule* module = LoadOutputModule(error);
    return module ? (module->*Factory)(settings) : OutputOpenResult{nullptr, error};
}

constexpr OutputKind kOutputs[] = {
    {"fluidsynth", OpenThroughModule<&OutputModule::openFluidSynth>,
     "FluidSynth software synthesizer playing through the sound card"},
    {"port", OpenThroughModule<&OutputModule::openPort>,
     "a hardware or software MIDI port (ALSA sequencer), chosen by Port="},
    {"wav", OpenThroughModule<&OutputModule::openWav>,
     "a WAV file rendered by FluidSynth in song time, written to WavFile="},
    {"null", OpenNullOutput, "nothing: every message is accepted and dropped"},
};

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Paths in the settings file are CP932 like every value there; a relative one is taken from the
// folder of the settings file (the program folder), not from wherever the program was started.
std::string NativePathSetting(const Profile& profile, const char* key, const std::filesystem::path& base) {
    const std::string value = Cp932ToUtf8(profile.ReadString("MIDI", key, ""));
    if (value.empty()) return value;
    const std::filesystem::path path(value);
    return path.is_absolute() ? value : (base / path).lexically_normal().string();
}

// A positive finite number, the whole value; anything else keeps real time.
double ClockScaleSetting(const std::string& text) {
    if (text.empty()) return 1.0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value <= 0.0) return 1.0;
    return value;
}

// A number from 0 to FluidSynth's top gain, the whole value; anything else is the default. Read
// with from_chars: a Qt program runs in the user's locale, where strtod may want a decimal comma.
double GainSetting(const std::string& text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 0.0 || value > kMaxSynthGain)
        return kDefaultSynthGain;
    return value;
}

}  // namespace

std::span<const OutputKind> KnownOutputs() { return kOutputs; }

std::string KnownOutputNames() {
    std::string names;
    for (const auto& kind : kOutputs) {
        if (!names.empty()) names += ", ";
        names += kind.name;
    }
    return names;
}

std::vector<std::string> ListMidiPorts() {
    // Without the ALSA sequencer there are no ports, and no reason to load the module.
    std::error_code ec;
    if (!std::filesystem::exists("/dev/snd/seq", ec)) return {};
    std::string error;
    const OutputModule* module = LoadOutputModule(error);
    return module ? module->listMidiPorts() : std::vector<std::string>();
}

OutputSettings ReadOutputSettings(const std::string& settingsNativePath) {
    const Profile profile(settingsNativePath);
    const std::filesystem::path base = std::filesystem::path(settingsNativePath).parent_path();
    OutputSettings s;
    const std::string output = Lower(Cp932ToUtf8(profile.ReadString("MIDI", "Output", "")));
    if (!output.empty()) s.output = output;
    // A list of paths, each resolved as NativePathSetting resolves one.
    s.soundFont = ResolveSoundFontList(Cp932ToUtf8(profile.ReadString("MIDI", "SoundFont", "")), base);
    s.audioDriver = Cp932ToUtf8(profile.ReadString("MIDI", "AudioDriver", ""));
    s.port = Cp932ToUtf8(profile.ReadString("MIDI", "Port", ""));
    s.wavFile = NativePathSetting(profile, "WavFile", base);
    s.gain = GainSetting(profile.ReadString("MIDI", "Gain", ""));
    s.clockScale = ClockScaleSetting(profile.ReadString("MIDI", "ClockScale", ""));
    return s;
}

OutputOpenResult OpenOutput(const OutputSettings& settings) {
    const std::string wanted = settings.output.empty() ? std::string(kOutputs[0].name) : Lower(settings.output);
    for (const auto& kind : kOutputs) {
        if (wanted != kind.name) continue;
        OutputOpenResult result = kind.open(settings);
        if (!result.output && result.error.empty()) result.error = "原因不明のｴﾗｰ";  // never fail without a text
        return result;
    }
    return {nullptr, "MIDI 出力 \"" + settings.output + "\" はありません ([MIDI] Output=)。使える出力: " +
                         KnownOutputNames()};
}

}  // namespace kyro
