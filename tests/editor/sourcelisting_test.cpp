// The editor's source list: loose songs and archive members of one folder, through the real
// libunlha32.so on files written at test time.

#include "editor/sourcelisting.h"

#include "platform/drives.h"
#include "songfiles/archivelibrary.h"

#include "lzhwriter.h"
#include "support/fifo.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace kyro {
namespace {

using Strings = std::vector<std::string>;

// DOS paths reach the library through the drive map, as the program hands it at start-up.
int ResolveThroughDriveMap(const char* dosPath, char* out, size_t size) {
    const auto native = ActiveDriveMap().ToNative(dosPath);
    if (!native || native->size() + 1 > size) return 0;
    std::memcpy(out, native->c_str(), native->size() + 1);
    return 1;
}

const ArchiveLibrary* RealLibrary() {
    static std::unique_ptr<ArchiveLibrary> library = [] {
        auto loaded = ArchiveLibrary::Load(KYRO_UNLHA32_DIR, KYRO_UNLHA32_DIR).library;
        if (loaded) loaded->Functions().SetPathResolver(&ResolveThroughDriveMap);
        return loaded;
    }();
    return library.get();
}

// A folder with loose songs in mixed case, an archive with songs and a document, a damaged
// archive, a document, a folder and a hidden file named like songs.
class SourceListing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(RealLibrary(), nullptr) << "libunlha32.so did not load";
        for (const char* name : {"A.MID", "b.mid", "C.RCP", "SUB.MID/X.MID", ".H.MID"}) dir_.Write(name, "song");
        dir_.Write("notes.txt", "text");
        dir_.Write("BAD.LZH", "not an archive, though long enough to look like a header");
        ASSERT_TRUE(test::WriteLzh(dir_.Native("P.LZH"),
                                   {{"c.mid", "", "song", 0}, {"d.rcp", "", "rcp", 1}, {"readme.txt", "", "text", 2}}));
    }

    Strings List(const std::string& folder, int filter, const ArchiveLibrary* library = RealLibrary()) {
        SourceListingHooks hooks;
        hooks.archiveFailed = [this](const std::string& message) { failures_.push_back(message); };
        return ListSourceFolder(folder, filter, library, hooks);
    }

    test::TempFolder dir_;
    Strings failures_;
};

TEST_F(SourceListing, FilterAdmitsLooseFilesAndMembers) {
    const struct {
        int filter;
        Strings items;
    } cases[] = {
        {0, {"A.MID", "b.mid", "P.LZH->c.mid"}},
        {1, {"C.RCP", "P.LZH->d.rcp"}},
        {2, {"A.MID", "b.mid", "C.RCP", "P.LZH->c.mid", "P.LZH->d.rcp"}},
    };
    for (const auto& c : cases) EXPECT_EQ(List(dir_.Dos(), c.filter), c.items) << "filter " << c.filter;
}

TEST_F(SourceListing, DamagedArchiveIsReportedOnceAndTheRestListed) {
    EXPECT_EQ(List(dir_.Dos(), 0), (Strings{"A.MID", "b.mid", "P.LZH->c.mid"}));
    ASSERT_EQ(failures_.size(), 1u);
    EXPECT_NE(failures_[0].find("[ " + dir_.Dos() + "BAD.LZH ]"), std::string::npos) << failures_[0];
}

// A FIFO named like an archive once blocked the listing for good (the library's open waited for
// a writer). The listing runs on a thread with a time limit; on a hang, opening the FIFO's other
// end releases it and the test fails.
TEST_F(SourceListing, DamagedArchiveKeepsItsFirstMembersAndAFifoIsNoArchive) {
    std::string damaged = test::BuildLzh({{"d1.mid", "", "song", 0}, {"d2.mid", "", "song", 0}, {"d3.mid", "", "song", 0}});
    const size_t third = (damaged.size() - 1) / 3 * 2;  // three members of one size, then the end mark
    damaged[third + 1] = static_cast<char>(damaged[third + 1] ^ 0x55);  // the third header's checksum
    dir_.Write("D.LZH", damaged);
    const std::string fifo = dir_.Native("FIFO.LZH");
    ASSERT_TRUE(test::MakeFifo(fifo));

    Strings listed;
    EXPECT_TRUE(test::FinishesWithoutWaiting({fifo}, [&] { listed = List(dir_.Dos(), 0); }))
        << "the listing blocked on the FIFO";
    EXPECT_EQ(listed, (Strings{"A.MID", "b.mid", "D.LZH->d1.mid", "D.LZH->d2.mid", "P.LZH->c.mid"}));
    auto message = [this](const std::string& step, const std::string& file) {
        return "\xCC\xA7\xB2\xD9\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7\x81\x42\n" + step + "\n\n[ " + dir_.Dos() + file +
               " ]";  // ﾌｧｲﾙが異常です。
    };
    std::sort(failures_.begin(), failures_.end());
    EXPECT_EQ(failures_, (Strings{message("CheckArchive ERROR", "BAD.LZH"), message("CheckArchive ERROR", "FIFO.LZH"),
                                  message("FindNext", "D.LZH")}));
}

TEST_F(SourceListing, WithoutLibraryArchivesAreLeftOut) {
    EXPECT_EQ(List(dir_.Dos(), 2, nullptr), (Strings{"A.MID", "b.mid", "C.RCP"}));
    EXPECT_TRUE(failures_.empty());
}

// Drive D: is the given folder while the object lives.
class DriveD {
public:
    explicit DriveD(const std::string& native) : saved_(ActiveDriveMap()) {
        DriveMap map = DriveMap::Default();
        map.Set('D', native);
        SetActiveDriveMap(map);
    }
    ~DriveD() { SetActiveDriveMap(saved_); }

private:
    DriveMap saved_;
};

TEST_F(SourceListing, DriveRootAndFolderWithoutBackslash) {
    const DriveD drive(dir_.Native());
    for (const std::string folder : {"D:\\", "D:"}) {
        failures_.clear();
        EXPECT_EQ(List(folder, 0), (Strings{"A.MID", "b.mid", "P.LZH->c.mid"})) << folder;
        ASSERT_EQ(failures_.size(), 1u);
        EXPECT_NE(failures_[0].find("[ D:\\BAD.LZH ]"), std::string::npos) << failures_[0];
    }
}

TEST_F(SourceListing, MissingFolderGivesNothing) {
    EXPECT_TRUE(List(dir_.Dos() + "NONE\\", 2).empty());
}

TEST(SourceListingStop, KeepGoingIsAskedEveryTenthFileAndStopKeepsWhatWasFound) {
    test::TempFolder dir;
    for (int i = 0; i < 25; ++i) dir.Write("S" + std::to_string(10 + i) + ".MID", "song");
    std::vector<int> asked;
    SourceListingHooks hooks;
    hooks.keepGoing = [&](int n) {
        asked.push_back(n);
        return n < 10;
    };
    const Strings items = ListSourceFolder(dir.Dos(), 0, nullptr, hooks);
    EXPECT_EQ(asked, (std::vector<int>{0, 10}));
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items.front(), "S10.MID");
    EXPECT_EQ(items.back(), "S19.MID");
}

TEST(SourceListingOrder, LettersFoldToLowerCaseAndTwoByteCharactersGoByTheirBytes) {
    // "_" (5F) before the letters; ties in case by bytes; "ア" (83 41) before "ダ" (83 5F), which
    // a folded second byte (83 61) would turn round.
    const Strings sorted = {"_X.MID", "A.MID", "a.mid", "b.mid", "C.MID", "C.MID.LZH", "\x83\x41.MID", "\x83\x5F.MID"};
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        EXPECT_FALSE(LessIgnoringCaseCp932(sorted[i], sorted[i])) << sorted[i];
        for (std::size_t j = i + 1; j < sorted.size(); ++j) {
            EXPECT_TRUE(LessIgnoringCaseCp932(sorted[i], sorted[j])) << sorted[i] << " < " << sorted[j];
            EXPECT_FALSE(LessIgnoringCaseCp932(sorted[j], sorted[i])) << sorted[j] << " < " << sorted[i];
        }
    }
}

}  // namespace
}  // namespace kyro
