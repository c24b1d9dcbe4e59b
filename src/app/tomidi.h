#pragma once
// kyrotune --to-midi IN OUT: any song the player plays, written as a Standard MIDI File that sends
// the same messages at the same times (midiexport.h), without a display or an audio device.
//
// IN is a MIDI or RCP file (told by its first bytes), or an archive member written as the song
// list writes it, "ARCHIVE->member", the archive named by a native path or by a DOS path whose
// drive the program folder's KYRO32.INI [Drives] section (or the default mapping) gives. Members
// are unpacked with the program's archive library into a private temporary folder, removed
// afterwards. OUT (a native path) is written beside itself and renamed into place, so it is
// either the whole new file or whatever it was before.

#include <iosfwd>
#include <string>

namespace kyro {

// Exit codes of the conversion.
inline constexpr int kToMidiOk = 0;
inline constexpr int kToMidiCannotRead = 1;   // IN is missing, damaged, or its archive cannot be unpacked
inline constexpr int kToMidiCannotWrite = 2;  // OUT cannot be written; it is left as it was
inline constexpr int kToMidiBadArguments = 3;  // the command line is wrong, or no program folder can be had

// Converts IN to OUT; errors go to `errors` in plain Japanese (UTF-8), with the path concerned.
// The archive library is looked for in the executable's folder, then in `programFolder`, then in
// lib/kyrotune beside the executable's folder.
int ConvertToMidi(const std::string& in, const std::string& out, const std::string& programFolder,
                  std::ostream& errors);

// The command line asks for a conversion: it holds --to-midi.
bool AsksForMidiConversion(int argc, char** argv);

// Runs "--to-midi IN OUT [--folder DIR]" (in any order, also --folder=DIR). The program folder
// is chosen as the player chooses it (programfolder.h).
int RunMidiConversion(int argc, char** argv, std::ostream& errors);

}  // namespace kyro
