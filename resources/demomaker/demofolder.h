#pragma once
// The demo program folder: what goes where, the list that points at it, and the settings.
//
//   KYRO32.INI               settings: auto start, play order, the group names
//   KYROList.dat, KYROTitl.dat  the song list, paths on drive D: (the demo folder itself)
//   SONGS\*.MID, SONGS\*.RCP  loose songs
//   LZH\NIHON.LZH            four songs and README.TXT, stored
//
// The list keeps DOS paths; drive D: is mapped to wherever the folder is copied by section
// [Drives] of KYRO32.INI, which scripts/run-demo.sh writes into the copy.

#include "library/songlist.h"
#include "songs.h"

#include <string>
#include <vector>

namespace kyro::demo {

inline constexpr char kDemoDrive = 'D';
inline const char kArchiveDosPath[] = "D:\\LZH\\NIHON.LZH";
inline const char kArchiveFile[] = "LZH/NIHON.LZH";

struct DemoFile {
    std::string relativePath;  // native, "/" separated, from the folder
    std::string bytes;
};

// The song list of the demo (groups only; the group names live in KYRO32.INI).
SongList DemoList(const std::vector<DemoSong>& songs);

// The songs, the archive and the settings file; the two list files are written by SaveSongList.
std::vector<DemoFile> DemoFiles(const std::vector<DemoSong>& songs);

// The group names as KYRO32.INI holds them (CP932), nine of them with the unnamed defaults.
std::vector<std::string> DemoGroupNames();

// Writes everything into `nativeFolder` (made when missing). False, with a line on stderr, on
// any failure.
bool WriteDemoFolder(const std::string& nativeFolder, const std::vector<DemoSong>& songs);

}  // namespace kyro::demo
