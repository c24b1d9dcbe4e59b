// Moving without replacing, the copy across file systems, and the trash.
#include "platform/filemove.h"

#include "platform/drives.h"
#include "platformtesthelpers.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

namespace kyro {
namespace {

using test::TempFolder;

int RenameAcrossFileSystems(const char*, const char*) {
    errno = EXDEV;
    return -1;
}

// Drive D: is a fresh folder with SRC\ and DST\. The tests run twice: with the real rename, and
// with one that fails as a rename between two file systems does, so that the copy does the move.
class FileMoveTest : public ::testing::TestWithParam<bool> {
protected:
    FileMoveTest() : saved_(ActiveDriveMap()) {
        DriveMap map = DriveMap::Default();
        map.Set('D', disk_.Native());
        SetActiveDriveMap(map);
        disk_.MakeFolder("SRC");
        disk_.MakeFolder("DST");
        if (GetParam()) SetNoReplaceRenameForTesting(&RenameAcrossFileSystems);
    }
    ~FileMoveTest() override {
        SetNoReplaceRenameForTesting(nullptr);
        SetActiveDriveMap(saved_);
    }

    MoveResult Move(const char* name) {
        return MoveFileNoReplace(std::string("D:\\SRC\\") + name, std::string("D:\\DST\\") + name);
    }

    TempFolder disk_;
    DriveMap saved_;
};

TEST_P(FileMoveTest, MovesTheBytesAndRemovesTheSource) {
    std::string song(200000, '\0');
    for (std::size_t i = 0; i < song.size(); ++i) song[i] = static_cast<char>(i * 7);
    disk_.Write("SRC/A.MID", song);
    ::chmod(disk_.Native("SRC/A.MID").c_str(), 0640);

    EXPECT_EQ(Move("A.MID"), MoveResult::Moved);
    EXPECT_FALSE(disk_.Exists("SRC/A.MID"));
    EXPECT_EQ(disk_.Read("DST/A.MID"), song);
    struct stat st {};
    ASSERT_EQ(::stat(disk_.Native("DST/A.MID").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_P(FileMoveTest, NeverReplacesAFileOfTheSameName) {
    disk_.Write("SRC/A.MID", "moving");
    disk_.Write("DST/a.mid", "staying");  // names match without regard to case, as on the old disks

    EXPECT_EQ(Move("A.MID"), MoveResult::TargetExists);
    EXPECT_EQ(disk_.Read("SRC/A.MID"), "moving");
    EXPECT_EQ(disk_.Read("DST/a.mid"), "staying");
    EXPECT_EQ(disk_.Entries("DST"), std::vector<std::string>{"a.mid"});
}

INSTANTIATE_TEST_SUITE_P(SameAndOtherFileSystem, FileMoveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AcrossFileSystems" : "WithinOneFileSystem"; });

using FileCopyMoveTest = FileMoveTest;

// The disk fills up in the middle of the copy.
TEST_P(FileCopyMoveTest, ACopyThatFailsPartWayLeavesTheSourceAndNoCopy) {
    const std::string song(300000, 'x');
    disk_.Write("SRC/BIG.MID", song);
    std::optional<test::FileSizeLimit> full(std::in_place, 100000);

    EXPECT_EQ(Move("BIG.MID"), MoveResult::Failed);
    full.reset();
    EXPECT_EQ(disk_.Read("SRC/BIG.MID"), song);
    EXPECT_TRUE(disk_.Entries("DST").empty());
}

INSTANTIATE_TEST_SUITE_P(AcrossFileSystems, FileCopyMoveTest, ::testing::Values(true));

// The trash lives under XDG_DATA_HOME, here a folder that does not exist yet: the data folder is
// made first, or Qt would put the trash into the working folder.
TEST(MoveToTrash, PutsTheFileIntoTheTrashWithItsInfo) {
    const DriveMap saved = ActiveDriveMap();
    TempFolder disk, home;
    const std::string dataHome = home.Native("data");
    const char* oldDataHome = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> restore = oldDataHome ? std::optional<std::string>(oldDataHome) : std::nullopt;
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    DriveMap map = DriveMap::Default();
    map.Set('D', disk.Native());
    SetActiveDriveMap(map);
    disk.Write("ソング.MID", "song");

    const TrashResult result = MoveToTrash("D:\\\x83\x5c\x83\x93\x83\x4f.MID");  // ソング.MID in CP932
    const TrashResult again = MoveToTrash("D:\\\x83\x5c\x83\x93\x83\x4f.MID");

    SetActiveDriveMap(saved);
    if (restore) ::setenv("XDG_DATA_HOME", restore->c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(result, TrashResult::Trashed);
    EXPECT_EQ(again, TrashResult::Failed);
    EXPECT_FALSE(disk.Exists("ソング.MID"));
    EXPECT_EQ(home.Read("data/Trash/files/ソング.MID"), "song");
    const std::string info = home.Read("data/Trash/info/ソング.MID.trashinfo");
    EXPECT_NE(info.find("[Trash Info]"), std::string::npos);
    EXPECT_NE(info.find("Path=" + disk.Native("ソング.MID")), std::string::npos) << info;
}

}  // namespace
}  // namespace kyro
