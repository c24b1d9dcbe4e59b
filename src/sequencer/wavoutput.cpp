// The WAV output: FluidSynth rendering into a WAV file by song time.
//
// The renderer keeps how many sample frames it has written. Each message due at song time t first
// renders up to the 64-frame block nearest t and then reaches the synthesizer, which applies it
// from the next block on: every event lands within half a block (0.73 ms) of its song time, as it
// does on the live synthesizer (sampleclockedsynth.h). The recording's length is the songs' length
// in song time, however fast or late the engine's clock runs (ClockScale).
//
// The output records everything it is sent until it closes (the player ends, or the [MIDI]
// settings change): each song after the one before, then the last song's release (notes fading,
// reverb) until the sound falls silent, at most 3 s. The recording goes to "<WavFile>.part" in the
// same folder and is renamed to WavFile when it is finished, with its header complete: a crash or a
// failed write never leaves a half file under the name asked for, and an earlier recording of that
// name stays until the new one is whole.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs_internal.h"
#include "sequencer/sampleclockedsynth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kyro {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kBytesPerFrame = kChannels * 2;  // 16-bit stereo
constexpr int kHeaderBytes = 44;
constexpr int kBlockFrames = 4096;  // frames rendered per call
// The RIFF sizes are 32-bit: a recording stops growing before it would overflow them (6.7 hours).
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - kHeaderBytes - 8;
// The release after the last song: rendered until a whole call's frames (93 ms, longer than a
// period of the lowest audible tone) stay within this level, -72 dBFS, above the dither that
// FluidSynth adds to its 16-bit samples; at most this long, for sounds that never end (a held
// organ, a missing note-off under sustain).
constexpr int kSilentLevel = 8;
constexpr std::int64_t kMaxReleaseFrames = 3 * kSampleRate;

void PutLe16(unsigned char* p, std::uint32_t v) {
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
void PutLe32(unsigned char* p, std::uint32_t v) {
    PutLe16(p, v & 0xFFFF);
    PutLe16(p + 2, v >> 16);
}

// The canonical 44-byte header of a PCM WAV file holding dataBytes of samples.
void MakeWavHeader(unsigned char* h, std::uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    PutLe32(h + 4, 36 + dataBytes);  // everything after this field
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutLe32(h + 16, 16);             // fmt chunk size
    PutLe16(h + 20, 1);              // PCM
    PutLe16(h + 22, kChannels);
    PutLe32(h + 24, kSampleRate);
    PutLe32(h + 28, kSampleRate * kBytesPerFrame);  // bytes per second
    PutLe16(h + 32, kBytesPerFrame);                // block align
    PutLe16(h + 34, 16);                            // bits per sample
    std::memcpy(h + 36, "data", 4);
    PutLe32(h + 40, dataBytes);
}

// The frame song time t falls on (whole seconds and the rest apart, so that no product overflows).
std::int64_t FrameAt(std::int64_t songTimeUs) {
    if (songTimeUs <= 0) return 0;
    return songTimeUs / 1000000 * kSampleRate + songTimeUs % 1000000 * kSampleRate / 1000000;
}

// The start of the synthesizer's block nearest the frame (a frame half way goes to the later one,
// as on the live synthesizer).
std::int64_t NearestBlockStart(std::int64_t frame) {
    return (frame + kSynthBlockFrames / 2) / kSynthBlockFrames * kSynthBlockFrames;
}

class WavOutput : public MidiOutput {
public:
    WavOutput(std::unique_ptr<FluidSynthInstance> synth, std::FILE* file, std::string partPath, std::string target)
        : synth_(std::move(synth)), file_(file), partPath_(std::move(partPath)), target_(std::move(target)) {}

    ~WavOutput() override { Finish(); }

    // A message takes effect at the start of the block that follows what has been rendered: the
    // recording is taken to the block nearest its time first. A time already passed (a message the
    // engine sends late, or out of order) renders nothing: the message plays at the next block.
    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        RenderUpTo(NearestBlockStart(FrameAt(songTimeUs)));
        PlayOnSynth(synth_->Synth(), data, size);
    }

    void Flush(std::int64_t songTimeUs) override { RenderUpTo(FrameAt(songTimeUs)); }

    std::string Finish() override {
        if (!file_) return error_;
        RenderRelease();
        if (error_.empty() && !WriteHeader()) Failed("WAV ファイルに書けません: " + partPath_);
        if (std::fclose(file_) != 0 && error_.empty()) Failed("WAV ファイルに書けません: " + partPath_);
        file_ = nullptr;
        if (error_.empty() && std::rename(partPath_.c_str(), target_.c_str()) != 0)
            Failed("WAV ファイルを置けません: " + target_);
        if (!error_.empty()) std::remove(partPath_.c_str());  // the target keeps whatever it held
        return error_;
    }

private:
    // Renders until the recording holds targetFrames frames; never takes back what it holds.
    void RenderUpTo(std::int64_t targetFrames) {
        while (framesRendered_ < targetFrames && !Full()) {
            const int frames = int(std::min<std::int64_t>(kBlockFrames, targetFrames - framesRendered_));
            Render(frames);
            Write(frames);
        }
        // Nothing more can be kept (a failed write, a full recording): skip the work, keep the song time.
        framesRendered_ = std::max(framesRendered_, targetFrames);
    }

    // The sound after the last message rings on until it is silent, at most kMaxReleaseFrames.
    void RenderRelease() {
        const std::int64_t limit = framesRendered_ + kMaxReleaseFrames;
        while (!Full() && framesRendered_ < limit) {
            const int frames = int(std::min<std::int64_t>(kBlockFrames, limit - framesRendered_));
            Render(frames);
            const std::int16_t* samples = buffer_;
            if (std::all_of(samples, samples + std::size_t(frames) * kChannels,
                            [](std::int16_t s) { return std::abs(int(s)) <= kSilentLevel; }))
                return;
            Write(frames);
        }
    }

    // The header with the real sizes, over the room left for it at the start.
    bool WriteHeader() {
        unsigned char header[kHeaderBytes];
        MakeWavHeader(header, std::uint32_t(dataBytes_));
        return std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, kHeaderBytes, file_) == kHeaderBytes;
    }

    void Render(int frames) {
        // Interleaved stereo: left at offset 0, right at 1, each advancing by 2.
        fluid_synth_write_s16(synth_->Synth(), frames, buffer_, 0, 2, buffer_, 1, 2);
        framesRendered_ += frames;
    }

    bool Full() const {
        return !file_ || !error_.empty() || dataBytes_ + kBlockFrames * kBytesPerFrame > kMaxDataBytes;
    }

    void Write(int frames) {
        const std::size_t bytes = std::size_t(frames) * kBytesPerFrame;
        if (std::fwrite(buffer_, 1, bytes, file_) != bytes) {
            Failed("WAV ファイルに書けません: " + partPath_);  // the disk is full or gone
            return;
        }
        dataBytes_ += bytes;
    }

    void Failed(const std::string& what) { error_ = what + " (" + std::strerror(errno) + ")"; }

    std::unique_ptr<FluidSynthInstance> synth_;
    std::FILE* file_;  // null once finished
    std::string partPath_;
    std::string target_;
    std::int64_t framesRendered_ = 0;
    std::uint64_t dataBytes_ = 0;
    std::string error_;  // the first failure; nothing is written after it
    std::int16_t buffer_[kBlockFrames * kChannels];
};

}  // namespace

OutputOpenResult OpenWavOutput(const OutputSettings& settings) {
    if (settings.wavFile.empty()) return {nullptr, "WAV 出力のファイルが指定されていません ([MIDI] WavFile=)"};

    SynthMakeResult made = MakeFluidSynth(settings, kSampleRate);
    if (!made.synth) return {nullptr, made.error};

    const std::string partPath = settings.wavFile + ".part";
    std::FILE* file = std::fopen(partPath.c_str(), "wb");
    if (!file) return {nullptr, "WAV ファイルを作れません: " + partPath + " (" + std::strerror(errno) + ")"};
    // Room for the header, written with the real sizes when the recording ends.
    unsigned char header[kHeaderBytes];
    MakeWavHeader(header, 0);
    if (std::fwrite(header, 1, kHeaderBytes, file) != std::size_t(kHeaderBytes)) {
        const std::string why = std::strerror(errno);
        std::fclose(file);
        std::remove(partPath.c_str());
        return {nullptr, "WAV ファイルに書けません: " + partPath + " (" + why + ")"};
    }
    return {std::make_unique<WavOutput>(std::move(made.synth), file, partPath, settings.wavFile), {}};
}

}  // namespace kyro
