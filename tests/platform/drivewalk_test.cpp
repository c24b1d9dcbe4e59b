// DriveWalk: the order of the walk, the folders it never enters, drives walked once, and going on
// with the next drive after a find.
#include "platform/drivewalk.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kyro {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using Step = DriveWalk::Step;
using Steps = std::vector<std::pair<Step, std::string>>;

// Every step of a search until it finishes (a walk that never ends fails instead of hanging).
Steps WalkAll(const std::string& fileName, const DriveMap& drives) {
    DriveWalk walk(fileName, drives);
    Steps steps;
    for (Step step = walk.Next(); step != Step::Finished; step = walk.Next()) {
        steps.emplace_back(step, walk.CurrentFolder());
        if (steps.size() > 1000) {
            ADD_FAILURE() << "the walk does not end";
            break;
        }
    }
    return steps;
}

// The first folder where the walk finds the file; "" when it finds it nowhere.
std::string FirstFind(const std::string& fileName, const DriveMap& drives) {
    for (const auto& [step, folder] : WalkAll(fileName, drives))
        if (step == Step::Found) return folder;
    return "";
}

DriveMap MapOf(std::initializer_list<std::pair<char, std::string>> letters) {
    DriveMap drives;
    for (const auto& [letter, folder] : letters) drives.Set(letter, folder);
    return drives;
}

// D: holds A\B\Song.MID, the empty folder A\B\C, Z\SONG.MID, the hidden folder Z\.hidden,
// the folder Z\曲, and two links to folders: A\loop (to D: itself) and Z\linked (to another).
class DriveWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        disk_.Write("A/B/Song.MID", "song");
        disk_.MakeFolder("A/B/C");
        fs::create_directory_symlink("..", disk_.Native("A/loop"));
        disk_.Write("Z/SONG.MID", "song");
        disk_.Write("Z/.hidden/song.mid", "song");
        outside_.Write("song.mid", "song");
        fs::create_directory_symlink(outside_.Native(), disk_.Native("Z/linked"));
        disk_.MakeFolder("Z/\xE6\x9B\xB2");  // 曲
    }

    TempFolder disk_;
    TempFolder outside_;
};

TEST_F(DriveWalkTest, ExaminesEachFolderOnceFolderBeforeSubfolders) {
    // C: lies inside D: and comes first, so D: passes over its folder; E: is D:'s folder again
    // and F: lies inside it: neither is walked. Links (the loop, the linked folder) and the
    // hidden folder are not entered.
    const DriveMap drives = MapOf({{'C', disk_.Native("A/B")}, {'D', disk_.Native()}, {'E', disk_.Native()},
                                   {'F', disk_.Native("A")}});
    const Steps expected = {{Step::Continue, "C:\\"},   {Step::Continue, "C:\\C\\"},
                            {Step::Continue, "D:\\"},   {Step::Continue, "D:\\A\\"},
                            {Step::Continue, "D:\\Z\\"}, {Step::Continue, "D:\\Z\\\x8B\xC8\\"}};
    EXPECT_EQ(WalkAll("none.mid", drives), expected);
}

TEST_F(DriveWalkTest, FindsTheDepthFirstPlaceThenGoesOnWithTheNextDrive) {
    TempFolder other;
    other.Write("sOnG.mId", "song");
    // D:\Z\SONG.MID is never reached: a find ends its drive.
    const Steps expected = {{Step::Continue, "D:\\"},
                            {Step::Continue, "D:\\A\\"},
                            {Step::Found, "D:\\A\\B\\"},
                            {Step::Found, "E:\\"}};
    EXPECT_EQ(WalkAll("song.mid", MapOf({{'D', disk_.Native()}, {'E', other.Native()}})), expected);
}

TEST(DriveWalkPlacesTest, OnlyAPlainFileOfTheNameCounts) {
    struct Case {
        const char* what;
        const char* fileName;  // CP932
        std::function<void(const TempFolder& disk, const TempFolder& outside)> make;
        const char* found;
    };
    const Case cases[] = {
        {"a link to a file counts as the file", "x.mid",
         [](const TempFolder& disk, const TempFolder& outside) {
             outside.Write("real.mid", "song");
             disk.MakeFolder("S");
             fs::create_symlink(outside.Native("real.mid"), disk.Native("S/x.mid"));
         },
         "D:\\S\\"},
        {"letters without regard to case, two-byte characters exactly", "\x8B\xC8" "a.MID",  // 曲a.MID
         [](const TempFolder& disk, const TempFolder&) { disk.Write("\xE6\x9B\xB2" "A.mid", "song"); }, "D:\\"},
        {"a folder of that name", "x.mid", [](const TempFolder& disk, const TempFolder&) { disk.MakeFolder("x.mid"); },
         ""},
        {"a FIFO of that name", "x.mid",
         [](const TempFolder& disk, const TempFolder&) { ASSERT_EQ(::mkfifo(disk.Native("x.mid").c_str(), 0600), 0); },
         ""},
        {"a hidden file", ".x.mid", [](const TempFolder& disk, const TempFolder&) { disk.Write(".x.mid", "song"); },
         ""},
        {"inside a folder whose name CP932 cannot hold", "x.mid",
         [](const TempFolder& disk, const TempFolder&) { disk.Write("caf\xC3\xA9/x.mid", "song"); }, ""},  // café
    };
    for (const Case& c : cases) {
        TempFolder disk, outside;
        c.make(disk, outside);
        EXPECT_EQ(FirstFind(c.fileName, MapOf({{'D', disk.Native()}})), c.found) << c.what;
    }
}

TEST(DriveWalkPlacesTest, AnUnreadableFolderIsPassedOverSilently) {
    TempFolder disk;
    disk.Write("A/locked/x.mid", "song");
    disk.Write("B/x.mid", "song");
    ASSERT_EQ(::chmod(disk.Native("A/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod(disk.Native().c_str(), 0755), 0);  // the walk runs as another user below
    // Root reads every folder whatever its permissions: the walk runs as nobody, then root again.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot && ::seteuid(65534) != 0) GTEST_SKIP() << "running as root and cannot act as another user";
    const std::string found = FirstFind("x.mid", MapOf({{'D', disk.Native()}}));
    if (asRoot && ::seteuid(0) != 0) std::abort();  // the other tests need root back
    EXPECT_EQ(found, "D:\\B\\");
}

}  // namespace
}  // namespace kyro
