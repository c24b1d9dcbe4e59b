#pragma once
// kyrotune --to-wav IN OUT [--map none|88|55|GM|8P]: any song the player plays, rendered to a WAV
// file (44100 Hz, 16-bit stereo) by the player's WAV output, without a display or an audio device
// and as fast as the machine renders: no real-time engine, no waiting.
//
// IN is read as every converter reads it (conversioninput.h). The synthesizer is the player's: the
// SoundFont and Gain of the program folder's KYRO32.INI [MIDI], else the defaults. With a map, the
// reset file the player plays before a song of that map is sent first, without its pause, so
// that the recording starts with the song. The recording is the song's length and its release
// (at most 3 s). OUT is written as OUT.part and renamed when complete: a failure leaves OUT as it
// was and no OUT.part. The exit codes are those of every conversion (conversioncommand.h).

#include <iosfwd>
#include <optional>
#include <string>

namespace kyro {

// The reset file a map name stands for (the song list's map codes: 88, 55, GM, 8P), compared
// without regard to letter case; "none" stands for none (an empty name). Nothing for other names.
std::optional<std::string> ResetFileOfMap(const std::string& map);

// Renders IN to OUT after the reset file (a name in the program folder; empty: none). Errors go to
// `errors` in plain Japanese (UTF-8), with the path concerned.
int ConvertToWav(const std::string& in, const std::string& out, const std::string& resetFile,
                 const std::string& programFolder, std::ostream& errors);

// The command line asks for a WAV conversion: it holds --to-wav.
bool AsksForWavConversion(int argc, char** argv);

// Runs "--to-wav IN OUT [--map MAP] [--folder DIR]" (in any order, also --map=MAP, --folder=DIR).
int RunWavConversion(int argc, char** argv, std::ostream& errors);

}  // namespace kyro
