// The folders each run unpacks into: a run's own goes at its end, a killed run's at the next
// start, and nothing else in the temporary folder is touched.
#include "platform/privatetempfolder.h"

#include "support/endedrun.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace kyro {
namespace {

namespace fs = std::filesystem;

TEST(PrivateTempFolder, ARunRemovesTheFoldersOfEndedRunsAndLeavesEverythingElse) {
    test::TempFolder temp;
    const std::string killed = test::FolderOfAnEndedRun(temp.Native());
    temp.Write(killed + "/d/d/d/.unlha-Xq3z9a", "half a song");
    ASSERT_TRUE(temp.Exists(killed));
    std::optional<PrivateTempFolder> running(std::in_place, temp.Native());  // a run that goes on
    temp.Write("kyrotune-notes", "a file of the user's named like ours");
    temp.Write("kyrotune-ABCDEFG/x", "a longer name");
    temp.Write("elsewhere/keep.mid", "reached only through a link");
    fs::create_directory_symlink(temp.Native("elsewhere"), temp.Native("kyrotune-LINKED"));

    std::optional<PrivateTempFolder> next(std::in_place, temp.Native());
    ASSERT_TRUE(next->Made());
    EXPECT_FALSE(temp.Exists(killed));
    std::vector<std::string> expected{running->Name(), next->Name(), "elsewhere", "kyrotune-ABCDEFG",
                                      "kyrotune-LINKED", "kyrotune-notes"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(temp.Entries(""), expected);
    EXPECT_TRUE(temp.Exists("elsewhere/keep.mid"));

    const std::string own = next->Name();
    temp.Write(own + "/sub/song.mid", "left by this run");
    next.reset();  // the end of the run
    EXPECT_FALSE(temp.Exists(own));
    EXPECT_TRUE(temp.Exists(running->Name()));
}

}  // namespace
}  // namespace kyro
