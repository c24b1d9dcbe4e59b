#pragma once
// The song a converter (kyrotune --to-midi, --to-wav) reads, without a display or an audio device.
//
// IN is a MIDI or RCP file (told by its first bytes), or an archive member written as the song
// list writes it, "ARCHIVE->member", the archive named by a native path or by a DOS path whose
// drive the program folder's KYRO32.INI [Drives] section (or the default mapping) gives. Members
// are unpacked with the program's archive library into a private temporary folder under $TMPDIR
// (else /tmp), removed afterwards. The archive library is looked for in the executable's folder,
// then in the program folder, then in lib/kyrotune beside the executable's folder.

#include "sequencer/songscore.h"

#include <string>

namespace kyro {

// The song IN names, read whole; a song the player would refuse (one it cannot time) is refused
// too. On failure the result carries the reason in plain Japanese.
ScoreReadResult ReadConversionInput(const std::string& in, const std::string& programFolder);

}  // namespace kyro
