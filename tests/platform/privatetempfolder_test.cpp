// The folders each run unpacks into: a run's own goes at its end, a killed run's at the next
// start, and nothing else in the temporary folder is touched.
#include "platform/privatetempfolder.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace kyro {
namespace {

namespace fs = std::filesystem;

// A run that ends without clearing up, as a killed one: its folder, holding what a killed
// unpacking leaves (a member written halfway, the folders of a member stored with folders).
std::string FolderOfAKilledRun(const std::string& parent) {
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        auto* run = new PrivateTempFolder(parent);  // never destroyed: the run dies with it
        std::string deep = run->Native();
        for (int level = 0; level < 40; ++level) deep += "/d";
        fs::create_directories(deep);
        std::FILE* partial = std::fopen((deep + "/.unlha-Xq3z9a").c_str(), "w");
        std::fputs("half a song", partial);
        std::fclose(partial);
        const std::string name = run->Name();
        (void)!::write(pipeEnds[1], name.c_str(), name.size());
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    char name[64] = {};
    EXPECT_GT(::read(pipeEnds[0], name, sizeof name - 1), 0);
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return name;
}

TEST(PrivateTempFolder, ARunRemovesTheFoldersOfEndedRunsAndLeavesEverythingElse) {
    test::TempFolder temp;
    const std::string killed = FolderOfAKilledRun(temp.Native());
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

TEST(PrivateTempFolder, NoFolderWhereNoneCanBeMade) {
    test::TempFolder temp;
    EXPECT_FALSE(PrivateTempFolder(temp.Native("missing")).Made());
}

}  // namespace
}  // namespace kyro
