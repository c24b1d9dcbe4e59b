// The live FluidSynth output: the synthesizer playing through an audio driver, each message
// applied at its sample frame (sampleclockedsynth.h). Drivers that cannot render through a
// callback of ours (FluidSynth's SDL2 driver) play each message as the engine sends it.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs_internal.h"
#include "sequencer/sampleclockedsynth.h"

#include <SDL2/SDL.h>
#include <fluidsynth.h>

#include <string>

namespace kyro {

namespace {

constexpr double kSampleRate = 44100.0;

int RenderForDriver(void* synth, int len, int nfx, float* fx[], int nout, float* out[]) {
    return static_cast<SampleClockedSynth*>(synth)->Render(len, nfx, fx, nout, out);
}

std::string DriverName(fluid_settings_t* settings) {
    char* name = nullptr;
    fluid_settings_dupstr(settings, "audio.driver", &name);
    const std::string driverName = name ? name : "?";
    fluid_free(name);
    return driverName;
}

// What FluidSynth's drivers keep ahead of the sound: their periods.
int DriverBufferFrames(fluid_settings_t* settings) {
    int periods = 16, periodSize = 64;
    fluid_settings_getint(settings, "audio.periods", &periods);
    fluid_settings_getint(settings, "audio.period-size", &periodSize);
    return periods * periodSize;
}

class FluidSynthOutput : public MidiOutput {
public:
    explicit FluidSynthOutput(std::unique_ptr<FluidSynthInstance> synth)
        : synth_(std::move(synth)), clocked_(synth_->Synth(), kSampleRate, DriverBufferFrames(synth_->Settings())) {}
    ~FluidSynthOutput() override {
        delete_fluid_audio_driver(driver_);  // stops the audio thread before the synthesizer goes
        clocked_.StopRenderThread();
        if (sdlAudioStarted_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // With no sound card the driver comes back NULL.
    bool StartDriver() {
        // FluidSynth's SDL2 driver wants its host to have started SDL's audio.
        if (DriverName(synth_->Settings()) == "sdl2") sdlAudioStarted_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        clocked_.RenderAhead();  // the device's first calls find sound ready
        driver_ = new_fluid_audio_driver2(synth_->Settings(), RenderForDriver, &clocked_);
        if (driver_) {
            clocked_.StartRenderThread();
            return true;
        }
        driver_ = new_fluid_audio_driver(synth_->Settings(), synth_->Synth());
        bySampleClock_ = false;
        return driver_ != nullptr;
    }

    // FluidSynth's API is thread-safe: without the sample clock the engine's thread plays while
    // the driver renders.
    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        if (bySampleClock_)
            clocked_.Send(songTimeUs, data, size);
        else
            PlayOnSynth(synth_->Synth(), data, size);
    }
    std::chrono::microseconds Lookahead() const override {
        return bySampleClock_ ? clocked_.Lookahead() : std::chrono::microseconds(0);
    }
    std::chrono::microseconds Latency() const override {
        return bySampleClock_ ? clocked_.Latency() : std::chrono::microseconds(0);
    }
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override {
        if (bySampleClock_) clocked_.BeginPlay(fromUs, start, scale);
    }
    void DropQueued() override {
        if (bySampleClock_) clocked_.DropQueued();
    }

private:
    std::unique_ptr<FluidSynthInstance> synth_;
    SampleClockedSynth clocked_;
    fluid_audio_driver_t* driver_ = nullptr;
    bool bySampleClock_ = true;
    bool sdlAudioStarted_ = false;
};

}  // namespace

OutputOpenResult OpenFluidSynthOutput(const OutputSettings& settings) {
    SynthMakeResult made = MakeFluidSynth(settings, kSampleRate);
    if (!made.synth) return {nullptr, made.error};
    fluid_settings_t* fluidSettings = made.synth->Settings();
    auto output = std::make_unique<FluidSynthOutput>(std::move(made.synth));

    // FluidSynth says why a driver fails in its log, and libasound would print its own lines to
    // stderr on top.
    FluidLogCapture log;
    AlsaNoiseSilencer quiet;
    if (!output->StartDriver()) {
        const std::string why = log.Text();
        return {nullptr, "オーディオ出力を開けません (FluidSynth, " + DriverName(fluidSettings) + ")" +
                             (why.empty() ? std::string() : ": " + why)};
    }
    return {std::move(output), {}};
}

}  // namespace kyro
