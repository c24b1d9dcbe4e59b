#include "arrangement.h"

namespace kyro::demo {

namespace {
constexpr int kVolume = 7, kPan = 10, kReverb = 91, kChorus = 93;
}

Arrangement::Arrangement(TitleEvent kind, const std::string& titleCp932, double bpm, int beatsPerBar,
                         std::vector<PartSetup> parts)
    : kind_(kind), parts_(std::move(parts)), smf_(static_cast<int>(parts_.size()) + 1) {
    if (kind_ == TitleEvent::TrackName) smf_.Meta(0, 0, 0x03, titleCp932);
    if (kind_ == TitleEvent::Text) smf_.Meta(0, 0, 0x01, titleCp932);
    smf_.TimeSignature(0, beatsPerBar);
    smf_.Tempo(0, bpm);
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        const Voice v = Part(static_cast<int>(i));
        const PartSetup& p = parts_[i];
        smf_.Program(v.track, 0, v.channel, p.program);
        smf_.Control(v.track, 0, v.channel, kVolume, p.volume);
        smf_.Control(v.track, 0, v.channel, kPan, p.pan);
        smf_.Control(v.track, 0, v.channel, kReverb, 48);
        smf_.Control(v.track, 0, v.channel, kChorus, 0);
    }
}

std::string Arrangement::Build(int format) const {
    SmfBuilder smf = smf_;
    // Part names only where they cannot be taken for the title: after the first track's end.
    if (format == 1 && kind_ != TitleEvent::None)
        for (std::size_t i = 0; i < parts_.size(); ++i) smf.Meta(static_cast<int>(i) + 1, 0, 0x03, parts_[i].name);
    return smf.Build(format, smf.LastTick() + kBeat);
}

}  // namespace kyro::demo
