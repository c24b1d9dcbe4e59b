// Deleting unpacked copies: only files inside the temporary folder go.

#include "songfiles/tempcopy.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace kyro {
namespace {

using test::TempFolder;

class TemporaryCopy : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.MakeFolder("temp");
        dir_.Write("victim.mid", "keep me");
        temp_ = dir_.Dos() + "temp\\";
    }
    TempFolder dir_;
    std::string temp_;
};

TEST_F(TemporaryCopy, DeletesAFileInsideTheFolder) {
    dir_.Write("temp/song.mid", "x");
    dir_.Write("temp/b/c.mid", "x");
    EXPECT_TRUE(DeleteTemporaryCopy(temp_, temp_ + "song.mid"));
    EXPECT_TRUE(DeleteTemporaryCopy(temp_, temp_ + "b/c.mid"));
    EXPECT_FALSE(dir_.Exists("temp/song.mid"));
    EXPECT_FALSE(dir_.Exists("temp/b")) << "the folder made for a member stored with folders goes with it";
    EXPECT_TRUE(dir_.Exists("temp"));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "song.mid")) << "already gone";
}

TEST_F(TemporaryCopy, RefusesPathsLeadingOutside) {
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "..\\victim.mid"));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "sub/../../victim.mid"));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, dir_.Dos() + "victim.mid"));
    EXPECT_TRUE(dir_.Exists("victim.mid"));
}

TEST_F(TemporaryCopy, RefusesALinkedFolderThatLeadsOutside) {
    ASSERT_EQ(::symlink(dir_.Native().c_str(), dir_.Native("temp/link").c_str()), 0);
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "link\\victim.mid"));
    EXPECT_TRUE(dir_.Exists("victim.mid"));
}

TEST_F(TemporaryCopy, RemovesALinkInsideButNotItsTarget) {
    ASSERT_EQ(::symlink(dir_.Native("victim.mid").c_str(), dir_.Native("temp/song.mid").c_str()), 0);
    EXPECT_TRUE(DeleteTemporaryCopy(temp_, temp_ + "song.mid"));
    EXPECT_TRUE(dir_.Exists("victim.mid"));
    EXPECT_EQ(dir_.Read("victim.mid"), "keep me");
}

TEST_F(TemporaryCopy, NeverDeletesFolders) {
    dir_.MakeFolder("temp/sub");
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "sub"));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "sub\\"));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_));
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, temp_ + "."));
    EXPECT_TRUE(dir_.Exists("temp/sub"));
}

TEST_F(TemporaryCopy, TemporaryFolderThatIsALinkStillWorks) {
    ASSERT_EQ(::symlink(dir_.Native("temp").c_str(), dir_.Native("templink").c_str()), 0);
    dir_.Write("temp/song.mid", "x");
    EXPECT_TRUE(DeleteTemporaryCopy(dir_.Dos() + "templink\\", dir_.Dos() + "templink\\song.mid"));
    EXPECT_FALSE(dir_.Exists("temp/song.mid"));
}

TEST_F(TemporaryCopy, MissingOrUnmappedFolder) {
    dir_.Write("temp/song.mid", "x");
    EXPECT_FALSE(DeleteTemporaryCopy(dir_.Dos() + "nofolder\\", dir_.Dos() + "nofolder\\song.mid"));
    EXPECT_FALSE(DeleteTemporaryCopy("Q:\\", temp_ + "song.mid"));
    EXPECT_FALSE(DeleteTemporaryCopy("", temp_ + "song.mid"));
    EXPECT_TRUE(dir_.Exists("temp/song.mid"));
}

}  // namespace
}  // namespace kyro
