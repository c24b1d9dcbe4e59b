// The live FluidSynth output: the synthesizer playing through an audio driver, each message
// applied at its sample frame (sampleclockedsynth.h).
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs_internal.h"
#include "sequencer/sampleclockedsynth.h"

#include <fluidsynth.h>

namespace kyro {

namespace {

constexpr double kSampleRate = 44100.0;

int RenderForDriver(void* synth, int len, int nfx, float* fx[], int nout, float* out[]) {
    return static_cast<SampleClockedSynth*>(synth)->Render(len, nfx, fx, nout, out);
}

class FluidSynthOutput : public MidiOutput {
public:
    explicit FluidSynthOutput(std::unique_ptr<FluidSynthInstance> synth)
        : synth_(std::move(synth)), clocked_(synth_->Synth(), kSampleRate) {}
    ~FluidSynthOutput() override {
        delete_fluid_audio_driver(driver_);  // stops the audio thread before the synthesizer goes
    }

    // With no sound card the driver comes back NULL.
    bool StartDriver() {
        driver_ = new_fluid_audio_driver2(synth_->Settings(), RenderForDriver, &clocked_);
        return driver_ != nullptr;
    }

    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        clocked_.Send(songTimeUs, data, size);
    }
    std::chrono::microseconds Lookahead() const override { return clocked_.Lookahead(); }
    void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) override {
        clocked_.BeginPlay(fromUs, start, scale);
    }
    void DropQueued() override { clocked_.DropQueued(); }

private:
    std::unique_ptr<FluidSynthInstance> synth_;
    SampleClockedSynth clocked_;
    fluid_audio_driver_t* driver_ = nullptr;
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
        char* name = nullptr;
        fluid_settings_dupstr(fluidSettings, "audio.driver", &name);
        const std::string driverName = name ? name : "?";
        fluid_free(name);
        const std::string why = log.Text();
        return {nullptr, "オーディオ出力を開けません (FluidSynth, " + driverName + ")" +
                             (why.empty() ? std::string() : ": " + why)};
    }
    return {std::move(output), {}};
}

}  // namespace kyro
