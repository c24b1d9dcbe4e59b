// FluidSynth pieces shared by the live synthesizer and the WAV renderer.
#include "sequencer/fluidsynthsynth.h"

#include <fluidsynth.h>

#ifdef KYRO_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace kyro {

// ---- SoundFonts -------------------------------------------------------------------------------

const SoundFontPlaces& UsualSoundFontPlaces() {
    static const SoundFontPlaces places{
        {
            // Debian's alternatives link to the General MIDI SoundFont the system prefers.
            "/usr/share/sounds/sf2/default-GM.sf2",
            "/usr/share/sounds/sf2/TimGM6mb.sf2",    // timgm6mb-soundfont (the README installs it)
            "/usr/share/sounds/sf2/FluidR3_GM.sf2",  // fluid-soundfont-gm
            "/usr/share/sounds/sf3/default-GM.sf3",
            "/usr/share/sounds/sf3/MuseScore_General.sf3",
        },
        {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", "/usr/share/soundfonts"},
    };
    return places;
}

namespace {

bool IsSoundFontFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;  // follows links; a dangling link is not one
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".sf2" || ext == ".sf3";
}

}  // namespace

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

// ---- Log capture ------------------------------------------------------------------------------

namespace {

thread_local FluidLogCapture* currentCapture = nullptr;

void LogToCaptureOrStderr(int level, const char* message, void* data) {
    if (currentCapture && (level == FLUID_PANIC || level == FLUID_ERR)) {
        currentCapture->Keep(message);
        return;
    }
    fluid_default_log_function(level, message, data);
}

void InstallLogFunctionOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN})
            fluid_set_log_function(level, LogToCaptureOrStderr, nullptr);
    });
}

}  // namespace

FluidLogCapture::FluidLogCapture() : outer_(currentCapture) {
    InstallLogFunctionOnce();
    currentCapture = this;
}

FluidLogCapture::~FluidLogCapture() { currentCapture = outer_; }

std::string FluidLogCapture::Text() const {
    std::string text;
    for (const auto& m : messages_) {
        if (!text.empty()) text += " / ";
        text += m;
    }
    return text;
}

// ---- ALSA noise -------------------------------------------------------------------------------

namespace {

std::mutex alsaMutex;
int alsaSilencers = 0;

#ifdef KYRO_HAVE_ALSA
void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
#endif

}  // namespace

AlsaNoiseSilencer::AlsaNoiseSilencer() {
    std::lock_guard lock(alsaMutex);
#ifdef KYRO_HAVE_ALSA
    if (alsaSilencers == 0) snd_lib_error_set_handler(DropAlsaMessage);
#endif
    ++alsaSilencers;
}

AlsaNoiseSilencer::~AlsaNoiseSilencer() {
    std::lock_guard lock(alsaMutex);
    --alsaSilencers;
#ifdef KYRO_HAVE_ALSA
    if (alsaSilencers == 0) snd_lib_error_set_handler(nullptr);  // libasound's own printer again
#endif
}

// ---- The synthesizer --------------------------------------------------------------------------

FluidSynthInstance::~FluidSynthInstance() {
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

SynthMakeResult MakeFluidSynth(const OutputSettings& settings, double sampleRate) {
    std::string soundFont = settings.soundFont;
    if (soundFont.empty()) {
        soundFont = FindSoundFont(UsualSoundFontPlaces());
        if (soundFont.empty())
            return {nullptr,
                    "SoundFont が見つかりません (/usr/share/sounds/sf2 ほか)。timgm6mb-soundfont を入れるか、"
                    "[MIDI] SoundFont= に SoundFont ファイルを指定してください"};
    } else {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(soundFont, ec))
            return {nullptr, "SoundFont が見つかりません: " + soundFont};
    }

    FluidLogCapture log;
    fluid_settings_t* fs = new_fluid_settings();
    if (!fs) return {nullptr, "FluidSynth の設定を作れません"};
    // GS and XG resets are addressed to device 0x10; with FluidSynth's default of 0 it ignores them.
    fluid_settings_setint(fs, "synth.device-id", 16);
    fluid_settings_setnum(fs, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(fs, "synth.gain", settings.gain);
    if (!settings.audioDriver.empty()) fluid_settings_setstr(fs, "audio.driver", settings.audioDriver.c_str());

    fluid_synth_t* synth = new_fluid_synth(fs);
    auto instance = std::make_unique<FluidSynthInstance>(fs, synth);
    if (!synth) {
        const std::string why = log.Text();
        return {nullptr, "FluidSynth のシンセサイザを作れません" + (why.empty() ? std::string() : ": " + why)};
    }
    if (fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
        const std::string why = log.Text();
        return {nullptr, "SoundFont を読めません: " + soundFont + (why.empty() ? std::string() : " (" + why + ")")};
    }
    return {std::move(instance), {}};
}

// ---- Playing one message ----------------------------------------------------------------------

void PlayOnSynth(fluid_synth_t* synth, const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    const std::uint8_t status = data[0];
    if (status == 0xF0) {
        // FluidSynth answers a SysEx only without its F0 and F7; with them it ignores it silently.
        std::size_t end = size;
        if (data[end - 1] == 0xF7) --end;
        if (end > 1)
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(data + 1), int(end - 1), nullptr, nullptr, nullptr,
                              0);
        return;
    }
    if (status < 0x80 || status >= 0xF0) return;  // stray data, system common and real-time messages

    const int channel = status & 0x0F;
    const int a = size > 1 ? data[1] & 0x7F : 0;
    const int b = size > 2 ? data[2] & 0x7F : 0;
    const bool twoDataBytes = (status & 0xF0) != 0xC0 && (status & 0xF0) != 0xD0;
    if (size < (twoDataBytes ? 3u : 2u)) return;

    switch (status & 0xF0) {
    case 0x80: fluid_synth_noteoff(synth, channel, a); break;
    case 0x90:
        if (b == 0)
            fluid_synth_noteoff(synth, channel, a);  // note-on with velocity 0 is a note-off
        else
            fluid_synth_noteon(synth, channel, a, b);
        break;
    case 0xA0: fluid_synth_key_pressure(synth, channel, a, b); break;
    case 0xB0: fluid_synth_cc(synth, channel, a, b); break;
    case 0xC0: fluid_synth_program_change(synth, channel, a); break;
    case 0xD0: fluid_synth_channel_pressure(synth, channel, a); break;
    case 0xE0: fluid_synth_pitch_bend(synth, channel, a | (b << 7)); break;
    }
}

}  // namespace kyro
