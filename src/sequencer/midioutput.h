#pragma once
// Where the engine sends what it plays. Outputs are made from the settings in section [MIDI] of
// KYRO32.INI through one table of outputs (outputs.h); the engine never knows which one it has.
//
// Every call comes from the engine's thread, one at a time. An output that renders sound itself
// (the WAV renderer) uses the song time it is given, not the wall clock, so a song renders at its
// true length whatever the engine's clock does. The WAV renderer records everything it is sent
// while it is open, each song after the one before, and is finished when it closes, keeping the
// last song's release (at most 3 s).

#include <chrono>
#include <cstdint>
#include <cstddef>
#include <memory>
#include <string>

namespace kyro {

// FluidSynth's master gain for the synthesizer and the WAV renderer. FluidSynth's own default,
// 0.2, plays the demo songs at -33 to -42 dBFS RMS, quieter than other players; desktop front
// ends raise it (Qsynth starts at 1.0). At 0.5 the loudest demo song peaks near -2.4 dBFS; at 1.0
// it clips.
inline constexpr double kDefaultSynthGain = 0.5;
inline constexpr double kMaxSynthGain = 10.0;  // the top of FluidSynth's synth.gain range

class MidiOutput {
public:
    virtual ~MidiOutput() = default;

    // One complete message (channel message, or SysEx F0 ... F7), due at songTimeUs.
    virtual void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) = 0;

    // The song has reached songTimeUs with nothing more to send (end of song, or stop); renderers
    // catch up to it. Live outputs do nothing.
    virtual void Flush(std::int64_t songTimeUs) { (void)songTimeUs; }

    // How long before its time the engine may hand a message over. An output that plays by a
    // clock of its own (a synthesizer counting sample frames) queues what it is given and applies
    // it at its time, so that its timing does not depend on the engine's thread waking on time.
    // Outputs that play what they get at once want nothing ahead (0).
    virtual std::chrono::microseconds Lookahead() const { return {}; }

    // How long after a play is begun its first sound can be heard: the sound an output keeps
    // ready ahead of the card. The engine starts the song's clock that much later, so that the
    // times it keeps are the times the sound is heard. Outputs that play at once have none (0).
    virtual std::chrono::microseconds Latency() const { return {}; }

    // A play begins: song time fromUs is due when the steady clock reads `start`, and song time
    // runs `scale` times as fast as the clock. Outputs with a lookahead place their queue by it.
    virtual void BeginPlay(std::int64_t fromUs, std::chrono::steady_clock::time_point start, double scale) {
        (void)fromUs, (void)start, (void)scale;
    }

    // The play was stopped: whatever is queued and not yet played is dropped, and what is sent
    // until the next BeginPlay (the silencing) plays at once.
    virtual void DropQueued() {}

    // Nothing more will be sent: a recording renders the sound's release and is put in place.
    // Returns why that failed (empty when it did not). Destroying an output finishes it too, for
    // an owner that has nobody to tell.
    virtual std::string Finish() { return {}; }
};

// What the [MIDI] section says (names documented in the README).
struct OutputSettings {
    std::string output = "fluidsynth";  // Output=fluidsynth | port | wav | null
    std::string soundFont;              // SoundFont=path;path... (native), the last on top; empty: the set
                                        // found (soundfontset.h)
    std::string audioDriver;            // AudioDriver=alsa|pulseaudio|...; empty: FluidSynth's default
    std::string port;                   // Port=name of a MIDI output port (RtMidi), matched by name
    std::string wavFile;                // WavFile=path of the WAV file the wav output records into
    double gain = kDefaultSynthGain;    // Gain=0..10, FluidSynth's master gain (fluidsynth and wav)
    double clockScale = 1.0;            // ClockScale=10 plays ten times faster (tests, benchmarks only)

    bool operator==(const OutputSettings&) const = default;  // the player keeps an output while equal
};

// Reads [MIDI] from a profile file (native path); missing keys keep the defaults above.
OutputSettings ReadOutputSettings(const std::string& settingsNativePath);

struct OutputOpenResult {
    std::unique_ptr<MidiOutput> output;  // null on failure
    std::string error;                   // plain text when output is null
};

// Makes the output the settings name; an output that cannot be opened (no sound card, no such
// port, no SoundFont) gives a plain error text.
OutputOpenResult OpenOutput(const OutputSettings& settings);

}  // namespace kyro
