// The archive layer with the real libunlha32.so on LZH files written at test time.

#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"
#include "songfiles/tempcopy.h"

#include "lzhwriter.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kyro {
namespace {

using Strings = std::vector<std::string>;
using test::LzhMember;
using test::TempFolder;
using test::WriteLzh;

const ArchiveLibrary* RealLibrary() {
    static std::unique_ptr<ArchiveLibrary> library =
        ArchiveLibrary::Load(KYRO_UNLHA32_DIR, KYRO_UNLHA32_DIR).library;
    return library.get();
}

LzhMember Stored(const std::string& name, const std::string& folder, const std::string& data, int level) {
    LzhMember member;
    member.name = name;
    member.folder = folder;
    member.data = data;
    member.level = level;
    return member;
}

LzhMember FolderEntry(const std::string& folder) {
    LzhMember member = Stored("", folder, "", 2);
    member.directory = true;
    return member;
}

const std::string kSong = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x30", 14) + "song data";

// ﾌｧｲﾙが異常です。 in CP932.
const std::string kAbnormal = "\xCC\xA7\xB2\xD9\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7\x81\x42";

// Five members at levels 0 to 2; where the fourth header starts; the archive with that
// header's checksum spoiled.
const std::vector<LzhMember> kFive = {Stored("1.mid", "", kSong, 0), Stored("2.mid", "", kSong, 1),
                                      Stored("3.mid", "", kSong + "3", 2), Stored("4.mid", "", kSong, 0),
                                      Stored("5.mid", "", kSong, 1)};
const size_t kFourthAt = test::BuildLzh({kFive[0], kFive[1], kFive[2]}).size() - 1;  // without the end mark
std::string SpoiledAfterTheThird() {
    std::string bytes = test::BuildLzh(kFive);
    bytes[kFourthAt + 1] = static_cast<char>(bytes[kFourthAt + 1] ^ 0x55);
    return bytes;
}

class RealArchiveAccess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(RealLibrary(), nullptr) << "libunlha32.so did not load";
        dir_.MakeFolder("temp");
        temp_ = dir_.Dos() + "temp\\";
        archive_ = dir_.Dos() + "P.LZH";
    }
    bool Write(const std::vector<LzhMember>& members) const { return WriteLzh(dir_.Native("P.LZH"), members); }

    TempFolder dir_;
    std::string temp_;     // DOS form, ending in "\"
    std::string archive_;  // DOS form
};

TEST_F(RealArchiveAccess, ListsFindsUnpacksAndDeletesAMemberInSubfolders) {
    ASSERT_TRUE(Write({Stored("c.mid", "a/b", kSong, 2), Stored("readme.txt", "", "text", 1), Stored("x.rcp", "", "rcp", 0)}));
    Strings list;
    ASSERT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeSongs, kFilterMidOrRcp)), kArchiveOk);
    EXPECT_EQ(list, (Strings{"P.LZH->b/c.mid", "P.LZH->x.rcp"}));
    ASSERT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeDocuments)), kArchiveOk);
    EXPECT_EQ(list, (Strings{"readme.txt"}));

    std::string name = "b/c.mid";
    EXPECT_EQ(FindArchiveMember(RealLibrary(), archive_, name), kArchiveOk);
    EXPECT_EQ(name, "b/c.mid");

    std::string output;
    ASSERT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->b/c.mid", temp_, output), kExtractOk);
    EXPECT_EQ(output, temp_ + "b/c.mid");
    EXPECT_EQ(dir_.Read("temp/b/c.mid"), kSong);

    EXPECT_TRUE(DeleteTemporaryCopy(temp_, output));
    EXPECT_EQ(dir_.Entries("temp"), std::vector<std::string>{}) << "the subfolder the extraction made goes too";
}

// liblhasa finds no header both at the end and at damage. A damaged archive once listed as a
// sound one, its members past the damage silently missing.
TEST_F(RealArchiveAccess, ListingsEndCleanlyOnlyAtTheEndOfTheFileOrAnEndMark) {
    const std::string whole = test::BuildLzh(kFive);
    const struct {
        const char* name;
        std::string bytes;
        size_t listed;
        bool damaged;
    } cases[] = {
        {"end mark", whole, 5, false},
        {"no end mark", whole.substr(0, whole.size() - 1), 5, false},
        {"junk after the end mark", whole + "-lh0- junk that is no header", 5, false},
        {"an archive damaged after its third member", SpoiledAfterTheThird(), 3, true},
        {"data of the last member cut short", whole.substr(0, whole.size() - 5), 5, true},
        {"header past the read limit", whole.substr(0, kFourthAt) + test::EndlessLevel1Header("4.mid", 20000), 3, true},
    };
    for (const auto& c : cases) {
        dir_.Write("P.LZH", c.bytes);
        Strings expected;
        for (size_t i = 1; i <= c.listed; ++i) expected.push_back("P.LZH->" + std::to_string(i) + ".mid");
        if (c.damaged) expected.push_back(kAbnormal + "\nFindNext\n\n[ " + archive_ + " ]");
        Strings list;
        EXPECT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeSongs, kFilterMid)),
                  c.damaged ? kArchiveDamaged : kArchiveOk)
            << c.name;
        EXPECT_EQ(list, expected) << c.name;
    }
}

TEST_F(RealArchiveAccess, MembersBeforeTheDamageUnpackAndALostOneReportsTheDamage) {
    dir_.Write("P.LZH", SpoiledAfterTheThird());
    std::string name = "5.mid";
    EXPECT_EQ(FindArchiveMember(RealLibrary(), archive_, name), kArchiveDamaged) << "the damage, not \"no such member\"";
    EXPECT_EQ(name, kAbnormal + "\nFindNext\n\n[ " + archive_ + " ]");
    std::string output;
    ASSERT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->3.mid", temp_, output), kExtractOk);
    EXPECT_EQ(dir_.Read("temp/3.mid"), kSong + "3");
}

TEST_F(RealArchiveAccess, MembersStoredFromTheRootUnpackWhereTheProgramExpects) {
    const std::string other = kSong + " two";
    ASSERT_TRUE(Write({Stored("\\subdir\\subdir2\\hello.mid", "", kSong, 0), Stored("z.mid", "\\abs", other, 2)}));
    Strings list;
    ASSERT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeSongs, kFilterMid)), kArchiveOk);
    EXPECT_EQ(list, (Strings{"P.LZH->subdir2/hello.mid", "P.LZH->z.mid"}));
    const std::pair<std::string, std::string> members[] = {{"subdir2/hello.mid", kSong}, {"z.mid", other}};
    for (const auto& [member, data] : members) {
        std::string name = member;
        EXPECT_EQ(FindArchiveMember(RealLibrary(), archive_, name), kArchiveOk) << member;
        std::string output;
        EXPECT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->" + member, temp_, output), kExtractOk) << member;
        EXPECT_EQ(output, temp_ + member);
        EXPECT_EQ(dir_.Read("temp/" + member), data) << member;
    }
    EXPECT_EQ(dir_.Entries(""), (Strings{"P.LZH", "temp"}));
}

TEST_F(RealArchiveAccess, MissingMemberAndMissingArchive) {
    ASSERT_TRUE(Write({Stored("a.mid", "", kSong, 0)}));
    std::string name = "zz.mid";
    EXPECT_EQ(FindArchiveMember(RealLibrary(), archive_, name), kArchiveNoMember);
    std::string output;
    EXPECT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->zz.mid", temp_, output), kExtractFailed);
    EXPECT_EQ(output, temp_ + "zz.mid");
    EXPECT_EQ(ExtractArchiveMember(RealLibrary(), dir_.Dos() + "NONE.LZH->a.mid", temp_, output), kExtractFailed);
    EXPECT_TRUE(dir_.Entries("temp").empty());
}

TEST_F(RealArchiveAccess, FileThatIsNoArchive) {
    dir_.Write("P.LZH", "just some text, long enough to look like a header......");
    Strings list;
    EXPECT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeSongs, kFilterMid)), kArchiveCheckFailed);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_NE(list[0].find("CheckArchive ERROR"), std::string::npos);
}

TEST_F(RealArchiveAccess, ArchiveWithoutMembersIsAFailure) {
    // A folder entry alone: a sound archive with no member to list.
    ASSERT_TRUE(Write({FolderEntry("empty")}));
    Strings list;
    EXPECT_EQ(ListArchiveMembers(RealLibrary(), archive_, list, ListingMode(kPurposeSongs, kFilterMid)), kArchiveNoMember);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_NE(list[0].find("FindFirst"), std::string::npos);
}

TEST_F(RealArchiveAccess, TraversalMemberWritesNothingOutside) {
    ASSERT_TRUE(Write({Stored("..\\evil.mid", "", "evil", 0), Stored("ok.mid", "", kSong, 0)}));
    std::string output;
    EXPECT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->../evil.mid", temp_, output), kExtractFailed);
    EXPECT_EQ(ExtractArchiveMember(RealLibrary(), archive_ + "->..\\evil.mid", temp_, output), kExtractFailed);
    EXPECT_EQ(dir_.Entries(""), (Strings{"P.LZH", "temp"}));
    EXPECT_TRUE(dir_.Entries("temp").empty());
    // Deleting what such a path names is refused too.
    dir_.Write("evil.mid", "a file beside the temporary folder");
    EXPECT_FALSE(DeleteTemporaryCopy(temp_, output));
    EXPECT_TRUE(dir_.Exists("evil.mid"));
}

}  // namespace
}  // namespace kyro
