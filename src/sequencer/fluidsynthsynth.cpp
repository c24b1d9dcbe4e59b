// FluidSynth pieces shared by the live synthesizer and the WAV renderer.
#include "sequencer/fluidsynthsynth.h"

#include <fluidsynth.h>

#ifdef KYRO_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif

#include <mutex>

namespace kyro {

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
    const SoundFontChoice fonts = ChooseSoundFonts(settings.soundFont);
    if (!fonts.missing.empty()) return {nullptr, "SoundFont が見つかりません: " + fonts.missing};
    if (fonts.files.empty())
        return {nullptr,
                "SoundFont が見つかりません (/usr/share/sounds/sf2 ほか)。fluid-soundfont-gm と fluid-soundfont-gs "
                "を入れるか、[MIDI] SoundFont= に SoundFont ファイルを指定してください"};

    FluidLogCapture log;
    fluid_settings_t* fs = new_fluid_settings();
    if (!fs) return {nullptr, "FluidSynth の設定を作れません"};
    // GS and XG resets are addressed to device 0x10; with FluidSynth's default of 0 it ignores them.
    fluid_settings_setint(fs, "synth.device-id", 16);
    // Only the samples of the presets in use are read into memory: the GS set is 150 MB on disk.
    fluid_settings_setint(fs, "synth.dynamic-sample-loading", 1);
    // Twice the 64 voices of the sound modules these songs were written for (FluidSynth's own
    // 256 keep 1.4 MiB more resident for voices no song of the list uses).
    fluid_settings_setint(fs, "synth.polyphony", 128);
    fluid_settings_setnum(fs, "synth.sample-rate", sampleRate);
    fluid_settings_setnum(fs, "synth.gain", settings.gain);
    if (!settings.audioDriver.empty()) fluid_settings_setstr(fs, "audio.driver", settings.audioDriver.c_str());

    fluid_synth_t* synth = new_fluid_synth(fs);
    auto instance = std::make_unique<FluidSynthInstance>(fs, synth);
    if (!synth) {
        const std::string why = log.Text();
        return {nullptr, "FluidSynth のシンセサイザを作れません" + (why.empty() ? std::string() : ": " + why)};
    }
    // In load order: FluidSynth searches the font loaded last first. The channels take their
    // presets once, after the last font, so that no sample is loaded for a font lower down.
    for (std::size_t i = 0; i < fonts.files.size(); ++i) {
        const std::string& file = fonts.files[i];
        if (fluid_synth_sfload(synth, file.c_str(), i + 1 == fonts.files.size()) == FLUID_FAILED) {
            const std::string why = log.Text();
            return {nullptr, "SoundFont を読めません: " + file + (why.empty() ? std::string() : " (" + why + ")")};
        }
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
