// The choice of the program folder: the executable's folder, the user's data folder, or --folder.
#include "app/programfolder.h"
#include "app/windowedmain.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

struct Case {
    const char* name;
    bool buildFolder;        // the player's library beside the executable, else an installed bin
    bool exeWritable;
    const char* xdgDataHome;  // "/xdg" lies in the scratch folder
    bool usersGmFile;         // the data folder is there already, with the user's own GM.MID
    const char* folderOption;
    const char* expected;     // relative to the scratch folder
    bool madeNow;             // a first start: the data folder was made
};

class ProgramFolderTest : public ::testing::TestWithParam<Case> {};

// Reset files come from beside the executable in a build folder, else from ../lib/kyrotune; each
// says where it came from.
TEST_P(ProgramFolderTest, ChoosesTheFolderAndFillsTheDataFolder) {
    const Case& c = GetParam();
    test::TempFolder root;
    const std::string source = c.buildFolder ? "bin/" : "lib/kyrotune/";
    for (const char* name : kResetFileNames) root.Write(source + name, source);
    if (c.buildFolder) root.Write(std::string("bin/") + kAppLibraryFile, "");
    if (c.usersGmFile) root.Write("home/.local/share/kyrotune/GM.MID", "mine");
    const std::string xdg = c.xdgDataHome[0] == '/' ? root.Native() + c.xdgDataHome : c.xdgDataHome;
    std::optional<std::string> option;
    if (*c.folderOption) option = root.MakeFolder(c.folderOption);

    const auto choice = ChooseProgramFolder(root.Native("bin"), option, {root.Native("home"), xdg},
                                            [&](const std::string&) { return c.exeWritable; });

    ASSERT_EQ(choice.error, "");
    EXPECT_EQ(choice.folder, root.Native(c.expected));
    EXPECT_EQ(choice.madeNow, c.madeNow);
    const std::string data = std::string(c.expected) + "/";
    if (!data.ends_with("/kyrotune/")) return;  // no data folder: nothing copied
    EXPECT_EQ(root.Read(data + "GM.MID"), c.usersGmFile ? "mine" : source);
    EXPECT_EQ(root.Read(data + "88Pro.MID"), source);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFolderTest,
    ::testing::Values(Case{"WritableBuildFolder", true, true, "/xdg", false, "", "bin", false},
                      Case{"ReadOnlyBuildFolder", true, false, "/xdg", false, "", "xdg/kyrotune", true},
                      Case{"InstalledUsesXdgDataHome", false, false, "/xdg", false, "", "xdg/kyrotune", true},
                      Case{"InstalledInWritableBin", false, true, "/xdg", false, "", "xdg/kyrotune", true},
                      Case{"InstalledWithoutXdgDataHome", false, false, "", false, "", "home/.local/share/kyrotune", true},
                      Case{"RelativeXdgDataHomeIsIgnored", false, false, "xdg", false, "", "home/.local/share/kyrotune", true},
                      Case{"UsersResetFilesAreKept", false, false, "", true, "", "home/.local/share/kyrotune", false},
                      Case{"FolderOptionWins", false, false, "/xdg", false, "chosen", "chosen", false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(ProgramFolder, MissingFolderOptionIsNamed) {
    test::TempFolder root;
    EXPECT_EQ(ChooseProgramFolder(root.Native(), root.Native("none"), {root.Native(), ""}).error,
              "プログラムフォルダが見つかりません: " + root.Native("none"));
}

}  // namespace
}  // namespace kyro
