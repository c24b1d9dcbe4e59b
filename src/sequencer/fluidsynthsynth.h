#pragma once
// FluidSynth pieces shared by the live synthesizer and the WAV renderer: a synthesizer made from
// the settings with its SoundFonts (soundfontset.h), FluidSynth's log messages caught for error
// texts, and a MIDI message played on the synthesizer.

#include "sequencer/midioutput.h"
#include "sequencer/soundfontset.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace kyro {

// A synthesizer with its settings, deleted together.
class FluidSynthInstance {
public:
    FluidSynthInstance(fluid_settings_t* settings, fluid_synth_t* synth) : settings_(settings), synth_(synth) {}
    ~FluidSynthInstance();
    FluidSynthInstance(const FluidSynthInstance&) = delete;
    FluidSynthInstance& operator=(const FluidSynthInstance&) = delete;

    fluid_settings_t* Settings() const { return settings_; }
    fluid_synth_t* Synth() const { return synth_; }

private:
    fluid_settings_t* settings_;
    fluid_synth_t* synth_;
};

struct SynthMakeResult {
    std::unique_ptr<FluidSynthInstance> synth;  // null on failure
    std::string error;                          // plain text when synth is null
};

// A synthesizer at the given sample rate with the SoundFonts of the settings (or the set found),
// answering SysEx for device 0x10 as GS and XG modules do. The audio driver is the caller's.
SynthMakeResult MakeFluidSynth(const OutputSettings& settings, double sampleRate);

// Plays one message: channel messages on their channel; a SysEx F0 ... F7 without F0 and F7, as
// FluidSynth wants it. Short messages, stray data bytes and system messages are ignored.
void PlayOnSynth(fluid_synth_t* synth, const std::uint8_t* data, std::size_t size);

// While alive, FluidSynth's error messages on this thread are kept instead of printed, for the
// error text of a failed open.
class FluidLogCapture {
public:
    FluidLogCapture();
    ~FluidLogCapture();
    FluidLogCapture(const FluidLogCapture&) = delete;
    FluidLogCapture& operator=(const FluidLogCapture&) = delete;

    std::string Text() const;  // the messages, joined; empty when there were none
    void Keep(const char* message) { messages_.emplace_back(message ? message : ""); }  // from the log function

private:
    std::vector<std::string> messages_;
    FluidLogCapture* outer_;
};

// While alive, libasound's messages to stderr ("ALSA lib pcm.c:... Unknown PCM default") are
// dropped: the failure they announce reaches the user as the error text instead.
class AlsaNoiseSilencer {
public:
    AlsaNoiseSilencer();
    ~AlsaNoiseSilencer();
    AlsaNoiseSilencer(const AlsaNoiseSilencer&) = delete;
    AlsaNoiseSilencer& operator=(const AlsaNoiseSilencer&) = delete;
};

}  // namespace kyro
