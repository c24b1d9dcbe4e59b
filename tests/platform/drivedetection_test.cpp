// Drive detection on a generated disk: a drive copied whole, one moved deeper under other names,
// one split between two places, one where the map says, one reachable only through a hidden or
// linked folder, and archives in a folder with a Japanese name; the same answers whatever the walk's depth, and counts scaled
// from a sample.
#include "platform/drivedetection.h"

#include "platform/cp932bytes.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kyro {
namespace {

using test::TempFolder;

enum class Naming { AsListed, LowerCaseOnDisk, Archived };

class DriveDetectionTest : public ::testing::Test {
protected:
    // Adds `count` songs of `letter` to the list ("X:\MIDI\GAMEg\SONGXi.MID", or archives
    // "X:\ソフト\PACKXi.LZH->song.mid", whose "ソ" ends in the byte of "\") and writes song i's
    // file below the folder where(i) names ("" writes none).
    void AddSongs(char letter, int count, const std::function<std::string(int)>& where, Naming naming = Naming::AsListed) {
        for (int i = 0; i < count; ++i) {
            const std::string g = std::to_string(i % 3), n = letter + std::to_string(i);
            std::string below = naming == Naming::Archived ? "ソフト/PACK" + n + ".LZH" : "MIDI/GAME" + g + "/SONG" + n + ".MID";
            const std::string dos = naming == Naming::Archived ? "ソフト\\PACK" + n + ".LZH->song.mid"
                                                               : "MIDI\\GAME" + g + "\\SONG" + n + ".MID";
            list_.push_back(std::string{letter, ':', '\\'} + Utf8ToCp932(dos).value());
            if (naming == Naming::LowerCaseOnDisk)
                for (char& c : below) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (!where(i).empty()) disk_.Write(where(i) + "/" + below, "MThd");
        }
    }

    // "D home/old-d 12/12 12": letter, folder on the disk, found / sampled, found in the list.
    std::vector<std::string> Proposals(const DriveDetection& detection) const {
        std::vector<std::string> shown;
        for (const DriveProposal& p : detection.proposals)
            shown.push_back(std::string{p.letter, ' '} + p.folder.substr(disk_.Native().size() + 1) + " " +
                            std::to_string(p.found) + "/" + std::to_string(p.sampled) + " " + std::to_string(p.FoundInList()));
        return shown;
    }

    TempFolder disk_;
    std::vector<std::string> list_;
};

TEST_F(DriveDetectionTest, ProposesTheFolderThatHoldsMostOfEachMissingDrive) {
    auto in = [](const char* folder) { return [folder](int) { return std::string(folder); }; };
    AddSongs('D', 12, in("home/old-d"));                                                      // copied whole
    AddSongs('E', 12, in("media/usb/backup/e-drive"), Naming::LowerCaseOnDisk);               // deeper, renamed
    AddSongs('F', 12, [](int i) { return i % 3 != 2 ? "home/f-one" : "media/f-two"; });       // 8 and 4
    AddSongs('G', 12, [](int i) { return i % 4 < 2 ? "home/g-one" : "media/g-two"; });       // 6 and 6
    AddSongs('H', 12, in("mapped/h"));                                                        // where mapped
    AddSongs('I', 12, in("home/.hidden/i"));                                                  // not entered
    AddSongs('J', 12, in("media/j-disk"), Naming::Archived);
    AddSongs('K', 12, in("outside/k"));                               // only through a linked folder
    std::filesystem::create_directory_symlink(disk_.Native("outside"), disk_.Native("home/linked"));
    list_.push_back("no drive letter.mid");

    DriveMap drives;
    drives.Set('E', disk_.Native("gone"));
    drives.Set('H', disk_.Native("mapped/h"));
    const std::vector<std::string> roots = {disk_.Native("home"), disk_.Native("media"), disk_.Native("gone")};

    struct Case {
        const char* what;
        DriveDetectionLimits limits;
        std::vector<std::string> proposals;
    };
    const std::vector<std::string> everything = {"D home/old-d 12/12 12", "E media/usb/backup/e-drive 12/12 12",
                                                 "F home/f-one 8/12 8", "J media/j-disk 12/12 12"};
    const Case cases[] = {
        {"the whole tree read", {}, everything},
        // E's folders are below the walk: found through the unread folder that carries their name.
        {"a shallow walk", {.walk = {.maxDepth = 3}}, everything},
        {"a sample of 6 of each 12", {.sampleSize = 6},
         {"D home/old-d 6/6 12", "E media/usb/backup/e-drive 6/6 12", "F home/f-one 4/6 8", "J media/j-disk 6/6 12"}},
    };
    for (const Case& c : cases) {
        const DriveDetection detection = DetectDrives(list_, drives, roots, c.limits);
        EXPECT_EQ(detection.unplaced, (std::vector<char>{'G', 'I', 'K'})) << c.what;
        EXPECT_EQ(Proposals(detection), c.proposals) << c.what;
    }
}

}  // namespace
}  // namespace kyro
