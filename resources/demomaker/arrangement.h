#pragma once
// One demo song being put together: the conductor (title, time signature, tempo) and its parts,
// each on a track and channel of its own with its General MIDI program set at the start.

#include "score.h"
#include "smfwriter.h"

#include <string>
#include <vector>

namespace kyro::demo {

// How the song carries its title: the player reads the first text (FF 01) or track name (FF 03)
// event before the first end of track, so the title goes first into the first track.
enum class TitleEvent { TrackName, Text, None };

struct PartSetup {
    std::string name;  // the part's track name (format 1 files with a title only)
    int channel = 0;
    int program = 0;   // General MIDI program, 0-based
    int volume = 100;
    int pan = 64;
};

class Arrangement {
public:
    // `titleCp932` is written as it is, in the event `kind` names.
    Arrangement(TitleEvent kind, const std::string& titleCp932, double bpm, int beatsPerBar, std::vector<PartSetup> parts);

    SmfBuilder& Smf() { return smf_; }
    Voice Part(int i) const { return {i + 1, parts_.at(i).channel}; }
    int DrumTrack(int i) const { return i + 1; }

    // The file: every track ends a beat after the last note, to let it ring.
    std::string Build(int format) const;

private:
    TitleEvent kind_;
    std::vector<PartSetup> parts_;
    SmfBuilder smf_;
};

}  // namespace kyro::demo
