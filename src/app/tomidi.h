#pragma once
// kyrotune --to-midi IN OUT: any song the player plays, written as a Standard MIDI File that sends
// the same messages at the same times (midiexport.h), without a display or an audio device.
//
// IN is read as every converter reads it (conversioninput.h). OUT (a native path) is written beside
// itself and renamed into place, so it is either the whole new file or whatever it was before.
// The exit codes are those of every conversion (conversioncommand.h).

#include <iosfwd>
#include <string>

namespace kyro {

// Converts IN to OUT; errors go to `errors` in plain Japanese (UTF-8), with the path concerned.
int ConvertToMidi(const std::string& in, const std::string& out, const std::string& programFolder,
                  std::ostream& errors);

// The command line asks for a conversion: it holds --to-midi.
bool AsksForMidiConversion(int argc, char** argv);

// Runs "--to-midi IN OUT [--folder DIR]" (in any order, also --folder=DIR). The program folder
// is chosen as the player chooses it (programfolder.h).
int RunMidiConversion(int argc, char** argv, std::ostream& errors);

}  // namespace kyro
