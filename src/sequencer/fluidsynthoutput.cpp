// The live FluidSynth output: the synthesizer playing through an audio driver as messages come.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs_internal.h"

#include <fluidsynth.h>

namespace kyro {

namespace {

class FluidSynthOutput : public MidiOutput {
public:
    FluidSynthOutput(std::unique_ptr<FluidSynthInstance> synth, fluid_audio_driver_t* driver)
        : synth_(std::move(synth)), driver_(driver) {}
    ~FluidSynthOutput() override {
        delete_fluid_audio_driver(driver_);  // stops the audio thread before the synthesizer goes
    }

    // FluidSynth's API is thread-safe, so the engine's thread may play while the driver renders.
    void Send(std::int64_t, const std::uint8_t* data, std::size_t size) override {
        PlayOnSynth(synth_->Synth(), data, size);
    }

private:
    std::unique_ptr<FluidSynthInstance> synth_;
    fluid_audio_driver_t* driver_;
};

}  // namespace

OutputOpenResult OpenFluidSynthOutput(const OutputSettings& settings) {
    SynthMakeResult made = MakeFluidSynth(settings, 44100.0);
    if (!made.synth) return {nullptr, made.error};

    // With no sound card the driver comes back NULL; FluidSynth says why in its log, and libasound
    // would print its own lines to stderr on top.
    FluidLogCapture log;
    AlsaNoiseSilencer quiet;
    fluid_audio_driver_t* driver = new_fluid_audio_driver(made.synth->Settings(), made.synth->Synth());
    if (!driver) {
        char* name = nullptr;
        fluid_settings_dupstr(made.synth->Settings(), "audio.driver", &name);
        const std::string driverName = name ? name : "?";
        fluid_free(name);
        const std::string why = log.Text();
        return {nullptr, "オーディオ出力を開けません (FluidSynth, " + driverName + ")" +
                             (why.empty() ? std::string() : ": " + why)};
    }
    return {std::make_unique<FluidSynthOutput>(std::move(made.synth), driver), {}};
}

}  // namespace kyro
