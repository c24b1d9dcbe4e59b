#pragma once
// The generator's self-check of a demo folder: every song parses and lasts 20 to 40 seconds, its
// title reads as intended, the two list files have 8991 CR LF lines and reload into the intended
// groups, and the folder holds exactly the files the generator writes, byte for byte.

#include "songs.h"

#include <string>
#include <vector>

namespace kyro::demo {

// Prints one line a song and one per fault; true when there was none.
bool CheckDemoFolder(const std::string& nativeFolder, const std::vector<DemoSong>& songs);

}  // namespace kyro::demo
