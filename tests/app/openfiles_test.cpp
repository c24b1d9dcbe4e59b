// Files handed to the program: the first song it can play is test-played, the rest passed over.
#include "app/playerwindow.h"

namespace kyro {
namespace {

using test::PlayerWindowTest;

class OpenFilesTest : public PlayerWindowTest {};

TEST_F(OpenFilesTest, TheFirstPlayableFileIsTestPlayed) {
    folder.Write("README.TXT", "text");
    folder.Write("PACK.LZH", "archive");
    auto mid = Start(ThreeSongs());
    mid->OpenFiles({folder.Native("MISSING.MID"), folder.Native("README.TXT"), folder.Native("PACK.LZH"),
                    folder.Native("BETA.MID"), folder.Native("GAMMA.MID")});
    EXPECT_TRUE(mid->TestPlaying());
    EXPECT_EQ(mid->TestPath(), Song("BETA.MID"));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(Title(*mid), QStringLiteral("Beta in file"));  // read from the file, not the list
    EXPECT_EQ(mid->Songs().groups[0].Count() + mid->Songs().groups[1].Count(), 3);  // the list is untouched
}

TEST_F(OpenFilesTest, NothingHappensWhileBusy) {
    auto mid = Start(ThreeSongs());
    mid->SetBusy(true);
    mid->OpenFiles({folder.Native("BETA.MID")});
    EXPECT_FALSE(mid->TestPlaying());
    EXPECT_TRUE(log->commands.empty());
}

}  // namespace
}  // namespace kyro
