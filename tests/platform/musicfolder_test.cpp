// The user's music folder: the environment's, else the desktop's user-dirs file, else home; a
// folder that is not there is passed over.
#include "platform/musicfolder.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

TEST(MusicFolderTest, TakesTheFirstFolderThatIsThere) {
    struct Case {
        const char* name;
        const char* variable;  // XDG_MUSIC_DIR, relative to the scratch folder ("" unset)
        const char* userDirs;  // the line in ~/.config/user-dirs.dirs ("" no file)
        const char* expected;  // relative to the scratch folder
    };
    const Case cases[] = {
        {"the variable", "home/Songs", "XDG_MUSIC_DIR=\"$HOME/Music\"", "home/Songs"},
        {"the user-dirs file", "", "XDG_MUSIC_DIR=\"$HOME/Music\"", "home/Music"},
        {"a variable naming nothing", "home/None", "XDG_MUSIC_DIR=\"$HOME/Music\"", "home/Music"},
        {"a file naming nothing", "", "XDG_MUSIC_DIR=\"$HOME/None\"", "home"},
        {"neither", "", "", "home"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder root;
        root.MakeFolder("home/Songs");
        root.MakeFolder("home/Music");
        if (*c.userDirs) root.Write("home/.config/user-dirs.dirs", std::string("# written by xdg-user-dirs\n") + c.userDirs + "\n");
        const std::string variable = *c.variable ? root.Native(c.variable) : "";
        EXPECT_EQ(MusicFolder({root.Native("home"), "", variable}), root.Native(c.expected));
    }
}

}  // namespace
}  // namespace kyro
