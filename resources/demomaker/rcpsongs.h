#pragma once
// The demo's RCP sequencer songs, written as the RCP editor would lay them out: a canon and a
// folk song in the 2.x generation (18 and 36 tracks) and a tune of our own in the 3.x one.

#include <string>

namespace kyro::demo {

// Each takes the title as CP932 bytes for the file header and returns the file.
std::string CanonRcp(const std::string& titleCp932);         // 2.x, 18 tracks
std::string GreensleevesRcp(const std::string& titleCp932);  // 2.x, 36 tracks
std::string BoatSongRcp(const std::string& titleCp932);      // 3.x, 18 tracks

}  // namespace kyro::demo
