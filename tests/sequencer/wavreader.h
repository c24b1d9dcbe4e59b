#pragma once
// Reads a 16-bit PCM WAV file for the render tests: its format, its samples, and where the sound
// is (peak, last frame above a level).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kyro::test {

struct WavFileData {
    std::string error;            // empty when the file is a well-formed 16-bit PCM WAV
    std::uint32_t riffSize = 0;   // as the header says
    std::size_t fileSize = 0;
    int format = 0, channels = 0, bits = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t dataBytes = 0;  // as the data chunk says
    std::vector<std::int16_t> samples;  // interleaved

    std::size_t Frames() const { return channels ? samples.size() / std::size_t(channels) : 0; }
    double Seconds() const { return sampleRate ? double(Frames()) / sampleRate : 0.0; }
    int Peak() const {
        int peak = 0;
        for (auto s : samples) peak = std::max(peak, std::abs(int(s)));
        return peak;
    }
    // The first frame with a sample above the level, or -1 when there is none.
    long FirstFrameAbove(int level) const {
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (std::abs(int(samples[i])) > level) return long(i / std::size_t(channels));
        return -1;
    }
    // The last frame with a sample above the level, or -1 when there is none.
    long LastFrameAbove(int level) const {
        for (std::size_t i = samples.size(); i-- > 0;)
            if (std::abs(int(samples[i])) > level) return long(i / std::size_t(channels));
        return -1;
    }
};

inline WavFileData ReadWavFile(const std::string& path) {
    WavFileData w;
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    w.fileSize = bytes.size();
    auto u16 = [&](std::size_t at) { return std::uint32_t(std::uint8_t(bytes[at])) | std::uint32_t(std::uint8_t(bytes[at + 1])) << 8; };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        w.error = "not a RIFF WAVE file";
        return w;
    }
    w.riffSize = u32(4);
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = u32(at + 4);
        const std::size_t body = at + 8;
        if (body + size > bytes.size()) {
            w.error = "chunk " + id + " runs past the end";
            return w;
        }
        if (id == "fmt " && size >= 16) {
            w.format = int(u16(body));
            w.channels = int(u16(body + 2));
            w.sampleRate = u32(body + 4);
            w.bits = int(u16(body + 14));
            haveFormat = true;
        } else if (id == "data") {
            w.dataBytes = size;
            for (std::size_t i = 0; i + 1 < size; i += 2) w.samples.push_back(std::int16_t(u16(body + i)));
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat || w.format != 1 || w.bits != 16) w.error = "not 16-bit PCM";
    return w;
}

}  // namespace kyro::test
