// The WAV output: FluidSynth rendering into a WAV file by song time.
//
// The renderer keeps how many sample frames it has written. Each message due at song time t first
// renders up to t, then reaches the synthesizer, so the recording holds every event at its song
// time and its length is the song's, however fast or late the engine's clock runs (ClockScale).
//
// The recording goes to "<WavFile>.part" in the same folder and is renamed to WavFile when the
// output closes, with its header complete: a crash or a failed write never leaves a half file
// under the name asked for, and an earlier recording of that name stays until the new one is whole.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs_internal.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
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

class WavOutput : public MidiOutput {
public:
    WavOutput(std::unique_ptr<FluidSynthInstance> synth, std::FILE* file, std::string partPath, std::string target)
        : synth_(std::move(synth)), file_(file), partPath_(std::move(partPath)), target_(std::move(target)) {}

    ~WavOutput() override {
        unsigned char header[kHeaderBytes];
        MakeWavHeader(header, std::uint32_t(dataBytes_));
        bool ok = !writeFailed_ && std::fseek(file_, 0, SEEK_SET) == 0 &&
                  std::fwrite(header, 1, kHeaderBytes, file_) == std::size_t(kHeaderBytes);
        ok = std::fclose(file_) == 0 && ok;
        if (!ok || std::rename(partPath_.c_str(), target_.c_str()) != 0) std::remove(partPath_.c_str());
    }

    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        RenderUpTo(songTimeUs);
        PlayOnSynth(synth_->Synth(), data, size);
    }

    void Flush(std::int64_t songTimeUs) override { RenderUpTo(songTimeUs); }

private:
    // Renders until the recording reaches songTimeUs. A time already passed (a message the
    // engine sends late, or out of order) renders nothing: the message plays at the current end.
    void RenderUpTo(std::int64_t songTimeUs) {
        if (songTimeUs <= 0) return;
        // Whole seconds and the rest apart, so that no product overflows.
        const std::int64_t targetFrames =
            songTimeUs / 1000000 * kSampleRate + songTimeUs % 1000000 * kSampleRate / 1000000;
        if (Full()) {  // nothing more can be kept: skip the work, keep the song time
            framesRendered_ = std::max(framesRendered_, targetFrames);
            return;
        }
        while (framesRendered_ < targetFrames) {
            const int frames = int(std::min<std::int64_t>(kBlockFrames, targetFrames - framesRendered_));
            // Interleaved stereo: left at offset 0, right at 1, each advancing by 2.
            fluid_synth_write_s16(synth_->Synth(), frames, buffer_, 0, 2, buffer_, 1, 2);
            framesRendered_ += frames;
            Write(std::size_t(frames) * kBytesPerFrame);
        }
    }

    bool Full() const { return writeFailed_ || dataBytes_ + kBlockFrames * kBytesPerFrame > kMaxDataBytes; }

    void Write(std::size_t bytes) {
        if (writeFailed_ || dataBytes_ + bytes > kMaxDataBytes) return;
        if (std::fwrite(buffer_, 1, bytes, file_) != bytes) {
            writeFailed_ = true;  // the disk is full or gone: the target keeps whatever it held
            return;
        }
        dataBytes_ += bytes;
    }

    std::unique_ptr<FluidSynthInstance> synth_;
    std::FILE* file_;
    std::string partPath_;
    std::string target_;
    std::int64_t framesRendered_ = 0;
    std::uint64_t dataBytes_ = 0;
    bool writeFailed_ = false;
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
