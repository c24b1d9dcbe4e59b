#pragma once
// Drive detection: for each drive letter of the song list whose songs are mostly not where the
// drive map says, the folder that holds most of them now, so that the letter can be pointed there.
//
// Each letter is judged on a sample of its songs spread over the list. The letter is looked for
// when more than half of its sample is missing, and a folder is proposed when, with the letter
// pointed at it, more than half of the sample would be found. A letter whose songs are split
// between places therefore gets the place that holds most of them, or nothing when none does:
// the lost-file check finds the rest one by one. For a song in an archive
// ("D:\LZH\PACK.LZH->song.mid") the archive is what must exist.
//
// The candidates come from one bounded walk of the roots (FolderIndex): a song "D:\MIDI\GAME\X.MID"
// found as .../old-d/MIDI/GAME/X.MID names .../old-d; below the walk's depth, a folder ".../MIDI"
// or ".../GAME" left unread names the folder above it, and the disk is asked for the rest.

#include "platform/drives.h"
#include "platform/folderindex.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kyro {

struct DriveProposal {
    char letter = '\0';
    std::string folder;      // native
    std::size_t songs = 0;   // the letter's songs in the list
    std::size_t sampled = 0; // of those, the ones looked for
    std::size_t found = 0;   // of the sample, the ones found with the letter pointed at `folder`

    // `found` scaled to the letter's whole list; exact when every song was sampled.
    std::size_t FoundInList() const;
};

// Every letter whose songs are mostly missing is in one of the two, A to Z; both are empty when
// no letter is.
struct DriveDetection {
    std::vector<DriveProposal> proposals;
    std::vector<char> unplaced;  // no folder holds most of the letter's songs
};

struct DriveDetectionLimits {
    std::size_t sampleSize = 200;  // songs looked at per letter
    FolderIndexLimits walk;
};

// Where moved songs are looked for: the home folder, /media, /mnt, /run/media/USER and every
// folder of the drive map, those that exist, each once.
std::vector<std::string> DetectionRoots(const DriveMap& drives);

// `dosPaths` are the song list's paths (CP932); paths without a drive letter are passed over.
DriveDetection DetectDrives(const std::vector<std::string>& dosPaths, const DriveMap& drives,
                            const std::vector<std::string>& roots, const DriveDetectionLimits& limits = {});

}  // namespace kyro
