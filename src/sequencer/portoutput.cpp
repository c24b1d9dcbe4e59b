// The MIDI port output: a hardware or software port of the ALSA sequencer through RtMidi, chosen
// by its name (client numbers change between boots, names do not).
//
// Only the ALSA API is used: RtMidi's JACK API crashes on getPortName/openPort when there is no
// port, and asking for ALSA must never fall back to it. There is no default port either: an empty
// or unknown Port= is an error listing the ports, never a silent "Midi Through" or port 0.
#include "sequencer/fluidsynthsynth.h"
#include "sequencer/outputs.h"
#include "sequencer/outputs_internal.h"

#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kyro {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "SC-88:SC-88 MIDI 1 20:0" -> "SC-88:SC-88 MIDI 1": ALSA's client and port numbers at the end.
std::string WithoutAlsaNumbers(const std::string& name) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = name.size();
    const std::size_t portEnd = i;
    while (i > 0 && isDigit(name[i - 1])) --i;
    if (i == portEnd || i == 0 || name[i - 1] != ':') return name;
    const std::size_t clientEnd = --i;
    while (i > 0 && isDigit(name[i - 1])) --i;
    if (i == clientEnd || i == 0 || name[i - 1] != ' ') return name;
    return name.substr(0, i - 1);
}

// The forms of a listed name that a user may have written exactly: the whole name, without the
// numbers, and the port's own name after "client:".
bool NamesExactly(const std::string& listed, const std::string& wanted) {
    if (listed == wanted) return true;
    const std::string bare = WithoutAlsaNumbers(listed);
    if (bare == wanted) return true;
    const auto colon = bare.find(':');
    return colon != std::string::npos && bare.substr(colon + 1) == wanted;
}

std::string PortList(const std::vector<std::string>& listed) {
    if (listed.empty()) return "使える MIDI ポートはありません";
    std::string text = "使える MIDI ポート: ";
    for (std::size_t i = 0; i < listed.size(); ++i) text += (i ? ", " : "") + WithoutAlsaNumbers(listed[i]);
    return text;
}

void KeepRtMidiError(RtMidiError::Type, const std::string& errorText, void* userData) {
    *static_cast<std::string*>(userData) = errorText;
}

class PortOutput : public MidiOutput {
public:
    PortOutput(std::unique_ptr<RtMidiOut> out, std::unique_ptr<std::string> lastError)
        : lastError_(std::move(lastError)), out_(std::move(out)) {}

    // Whole messages, SysEx included; a failed send (the port went away) is kept by the error
    // callback rather than thrown into the engine.
    void Send(std::int64_t, const std::uint8_t* data, std::size_t size) override {
        if (size) out_->sendMessage(data, size);
    }

private:
    std::unique_ptr<std::string> lastError_;  // the error callback writes here, so it outlives out_
    std::unique_ptr<RtMidiOut> out_;
};

}  // namespace

std::optional<std::size_t> ChoosePort(const std::vector<std::string>& listed, const std::string& wanted) {
    if (wanted.empty()) return std::nullopt;
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (NamesExactly(listed[i], wanted)) return i;
    const std::string lowWanted = Lower(wanted);
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (Lower(listed[i]).find(lowWanted) != std::string::npos) return i;
    return std::nullopt;
}

std::string PortNotFoundText(const std::vector<std::string>& listed, const std::string& wanted) {
    const std::string what = wanted.empty() ? "MIDI ポートが指定されていません ([MIDI] Port=)"
                                            : "MIDI ポート \"" + wanted + "\" が見つかりません";
    return what + "。" + PortList(listed);
}

std::vector<std::string> ListRtMidiPorts() {
    // Without the sequencer's device RtMidi would print its failure before throwing it.
    std::error_code ec;
    if (!std::filesystem::exists("/dev/snd/seq", ec)) return {};
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    if (std::find(apis.begin(), apis.end(), RtMidi::LINUX_ALSA) == apis.end()) return {};
    AlsaNoiseSilencer quiet;
    std::vector<std::string> names;
    try {
        RtMidiOut out(RtMidi::LINUX_ALSA, "Kyrotune");
        std::string lastError;
        out.setErrorCallback(KeepRtMidiError, &lastError);  // a port that vanishes meanwhile is skipped
        const unsigned count = out.getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            const std::string name = WithoutAlsaNumbers(out.getPortName(i));
            if (!name.empty()) names.push_back(name);
        }
    } catch (const RtMidiError&) {
        return {};  // no /dev/snd/seq
    }
    return names;
}

OutputOpenResult OpenPortOutput(const OutputSettings& settings) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    if (std::find(apis.begin(), apis.end(), RtMidi::LINUX_ALSA) == apis.end())
        return {nullptr, "MIDI ポートを使えません: RtMidi に ALSA シーケンサの対応がありません"};

    AlsaNoiseSilencer quiet;
    std::unique_ptr<RtMidiOut> out;
    try {
        out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Kyrotune");
    } catch (const RtMidiError& e) {
        // No /dev/snd/seq: the ALSA sequencer is not there (no sound modules, a container).
        return {nullptr, std::string("MIDI ポートを使えません (ALSA シーケンサを開けません): ") + e.what()};
    }
    auto lastError = std::make_unique<std::string>();
    out->setErrorCallback(KeepRtMidiError, lastError.get());

    std::vector<std::string> listed;
    const unsigned count = out->getPortCount();  // before any getPortName or openPort
    for (unsigned i = 0; i < count; ++i) listed.push_back(out->getPortName(i));
    const std::optional<std::size_t> chosen = ChoosePort(listed, settings.port);
    if (!chosen) return {nullptr, PortNotFoundText(listed, settings.port)};

    out->openPort(unsigned(*chosen), "Kyrotune");
    if (!out->isPortOpen())
        return {nullptr, "MIDI ポートを開けません: " + WithoutAlsaNumbers(listed[*chosen]) +
                             (lastError->empty() ? std::string() : " (" + *lastError + ")")};
    return {std::make_unique<PortOutput>(std::move(out), std::move(lastError)), {}};
}

}  // namespace kyro
