// The program's archive layer against a recording stand-in library: call order, the exact
// extraction command line, listing modes and filters, result codes and their messages.

#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace kyro {
namespace {

using Strings = std::vector<std::string>;

// The messages as CP932 bytes, written out here rather than converted, so that a message left in
// UTF-8 shows up.
const std::string kAbnormal = "\xCC\xA7\xB2\xD9\x82\xAA\x88\xD9\x8F\xED\x82\xC5\x82\xB7\x81\x42";  // ﾌｧｲﾙが異常です。
const std::string kNoSuchFile =  // 該当ファイルが存在しません。
    "\x8A\x59\x93\x96\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xDC\x82\xB9\x82\xF1\x81\x42";
const std::string kNotLoaded =  // UNLHA32.DLLが読み込まれていまん。
    "UNLHA32.DLL\x82\xAA\x93\xC7\x82\xDD\x8D\x9E\x82\xDC\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xF1\x81\x42";

const std::string kArchive = "D:\\LZH\\P.LZH";

// The stand-in library, loaded once through the program's loader, and its controls.
struct Recording {
    std::unique_ptr<ArchiveLibrary> library;
    void* handle = nullptr;

    template <typename F>
    F Control(const char* name) const {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    void Reset() const { Control<void (*)()>("RecordingReset")(); }
    void AddMember(const char* name) const { Control<void (*)(const char*)>("RecordingAddMember")(name); }
    void FailCheck() const { Control<void (*)()>("RecordingFailCheck")(); }
    void FailOpen() const { Control<void (*)()>("RecordingFailOpen")(); }
    void SetRunning(int running) const { Control<void (*)(int)>("RecordingSetRunning")(running); }
    void SetCommandResult(int result) const { Control<void (*)(int)>("RecordingSetCommandResult")(result); }
    std::string Log() const { return Control<const char* (*)()>("RecordingLog")(); }
    int OpenHandles() const { return Control<int (*)()>("RecordingOpenHandles")(); }
};

const Recording& TheRecording() {
    static Recording recording = [] {
        Recording r;
        auto loaded = ArchiveLibrary::Load(KYRO_RECORDING_UNLHA_DIR, KYRO_RECORDING_UNLHA_DIR, "librecordingunlha.so");
        r.library = std::move(loaded.library);
        if (r.library) r.handle = dlopen(r.library->NativePath().c_str(), RTLD_NOW | RTLD_NOLOAD);
        return r;
    }();
    return recording;
}

class ArchiveAccess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(fake().library, nullptr) << "the recording library did not load";
        ASSERT_NE(fake().handle, nullptr);
        fake().Reset();
    }
    static const Recording& fake() { return TheRecording(); }
    static const ArchiveLibrary* lib() { return fake().library.get(); }

    void AddMembers(const Strings& names) const {
        for (const auto& name : names) fake().AddMember(name.c_str());
    }
    Strings List(int mode, const std::string& archive = kArchive) const {
        Strings list{"left over"};
        last_ = ListArchiveMembers(lib(), archive, list, mode);
        return list;
    }
    mutable int last_ = 99;
};

// ---- Unpacking ----------------------------------------------------------------------------------

TEST_F(ArchiveAccess, PathWithoutArchiveMemberIsHandedBack) {
    std::string output = "before";
    EXPECT_EQ(ExtractArchiveMember(lib(), "D:\\MIDI\\A.MID", "C:\\TEMP\\", output), kExtractNotMember);
    EXPECT_EQ(output, "D:\\MIDI\\A.MID");
    EXPECT_EQ(fake().Log(), "");
    // Without a library a plain path is still handed back: it needs no unpacking.
    output = "before";
    EXPECT_EQ(ExtractArchiveMember(nullptr, "D:\\MIDI\\A.MID", "C:\\TEMP\\", output), kExtractNotMember);
    EXPECT_EQ(output, "D:\\MIDI\\A.MID");
}

TEST_F(ArchiveAccess, ExactCommandLineAndCallOrder) {
    std::string output;
    EXPECT_EQ(ExtractArchiveMember(lib(), kArchive + "->song.mid", "C:\\TEMP\\", output), kExtractOk);
    EXPECT_EQ(output, "C:\\TEMP\\song.mid");
    EXPECT_EQ(fake().Log(),
              "GetRunning;SetBackGroundMode(1);SetCursorMode(0);"
              "Unlha(null,e -n1 D:\\LZH\\P.LZH C:\\TEMP\\ song.mid,200);");
}

TEST_F(ArchiveAccess, SongPathSplitsAtTheFirstArrow) {
    std::string output;
    EXPECT_EQ(ExtractArchiveMember(lib(), kArchive + "->x->y.mid", "C:\\TEMP\\", output), kExtractOk);
    EXPECT_EQ(output, "C:\\TEMP\\x->y.mid");
    EXPECT_NE(fake().Log().find(",e -n1 D:\\LZH\\P.LZH C:\\TEMP\\ x->y.mid,"), std::string::npos) << fake().Log();
}

TEST_F(ArchiveAccess, SpacesAreNotQuoted) {
    EXPECT_EQ(ExtractCommandLine("D:\\MY SONGS\\P 2.LZH", "C:\\MY TEMP\\", "a b.mid"),
              "e -n1 D:\\MY SONGS\\P 2.LZH C:\\MY TEMP\\ a b.mid");
}

TEST_F(ArchiveAccess, BusyLibraryIsLeftAlone) {
    fake().SetRunning(1);
    std::string output = "unchanged";
    EXPECT_EQ(ExtractArchiveMember(lib(), kArchive + "->song.mid", "C:\\TEMP\\", output), kExtractBusy);
    EXPECT_EQ(output, "unchanged");
    EXPECT_EQ(fake().Log(), "GetRunning;");
}

TEST_F(ArchiveAccess, LibraryFailureStillGivesTheOutputPath) {
    fake().SetCommandResult(0x8006);
    std::string output;
    EXPECT_EQ(ExtractArchiveMember(lib(), kArchive + "->song.mid", "C:\\TEMP\\", output), kExtractFailed);
    EXPECT_EQ(output, "C:\\TEMP\\song.mid");
}

TEST_F(ArchiveAccess, UnpackingWithoutLibraryDoesNothing) {
    std::string output = "unchanged";
    EXPECT_EQ(ExtractArchiveMember(nullptr, kArchive + "->song.mid", "C:\\TEMP\\", output), kExtractFailed);
    EXPECT_EQ(output, "unchanged");
}

// ---- Listing ------------------------------------------------------------------------------------

TEST_F(ArchiveAccess, ListingCallsInOrderAndClosesTheArchive) {
    AddMembers({"a.mid", "b.rcp"});
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMidOrRcp)), (Strings{"P.LZH->a.mid", "P.LZH->b.rcp"}));
    EXPECT_EQ(last_, kArchiveOk);
    EXPECT_EQ(fake().Log(),
              "SetBackGroundMode(1);SetCursorMode(0);CheckArchive(D:\\LZH\\P.LZH,0);"
              "OpenArchive(null,D:\\LZH\\P.LZH,0x00400202);FindFirst(*.*);FindNext;FindNext;CloseArchive;");
    EXPECT_EQ(fake().OpenHandles(), 0);
}

TEST_F(ArchiveAccess, ListingModesAndFilters) {
    AddMembers({"a.mid", "b.rcp", "readme.doc"});
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid)), (Strings{"P.LZH->a.mid"}));
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterRcp)), (Strings{"P.LZH->b.rcp"}));
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMidOrRcp)), (Strings{"P.LZH->a.mid", "P.LZH->b.rcp"}));
    EXPECT_EQ(List(ListingMode(kPurposeSongs, 3)), Strings{});
    EXPECT_EQ(last_, kArchiveOk);
    EXPECT_EQ(List(ListingMode(kPurposeDocuments)), (Strings{"readme.doc"}));
    // The filter byte means nothing to documents; an unknown purpose accepts nothing.
    EXPECT_EQ(List(ListingMode(kPurposeDocuments, 7)), (Strings{"readme.doc"}));
    EXPECT_EQ(List(3), Strings{});
    EXPECT_EQ(last_, kArchiveOk);
}

TEST_F(ArchiveAccess, ListedNamesLoseTheirFirstFolder) {
    AddMembers({"a/b/c.mid", "x.mid/notes.txt", "top.mid"});
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid)), (Strings{"P.LZH->b/c.mid", "P.LZH->top.mid"}));
    // The kind is that of the listed name: x.mid/ is gone before the kind is told.
    EXPECT_EQ(List(ListingMode(kPurposeDocuments)), (Strings{"notes.txt"}));
}

TEST_F(ArchiveAccess, ArchiveFileNameIsCutAtTheLastBackslashOnly) {
    AddMembers({"a.mid"});
    // "ソ" is 83 5C: its second byte is not a folder separator.
    const std::string folderSo = "D:\\\x83\x5C\\";
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid), folderSo + "x\x83\x5C.LZH"), (Strings{"x\x83\x5C.LZH->a.mid"}));
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid), "P.LZH"), (Strings{"P.LZH->a.mid"}));
}

TEST_F(ArchiveAccess, NotAnArchiveGivesOneMessage) {
    fake().FailCheck();
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid)),
              (Strings{kAbnormal + "\nCheckArchive ERROR\n\n[ D:\\LZH\\P.LZH ]"}));
    EXPECT_EQ(last_, kArchiveCheckFailed);
    EXPECT_EQ(fake().Log().find("OpenArchive"), std::string::npos);
}

TEST_F(ArchiveAccess, ArchiveThatDoesNotOpen) {
    fake().FailOpen();
    EXPECT_EQ(List(ListingMode(kPurposeDocuments)), (Strings{kAbnormal + "\nOpenArchive\n\n[ D:\\LZH\\P.LZH ]"}));
    EXPECT_EQ(last_, kArchiveOpenFailed);
    EXPECT_EQ(fake().Log().find("CloseArchive"), std::string::npos) << "nothing was opened";
}

TEST_F(ArchiveAccess, ArchiveWithoutMembers) {
    EXPECT_EQ(List(ListingMode(kPurposeSongs, kFilterMid)), (Strings{kAbnormal + "\nFindFirst\n\n[ D:\\LZH\\P.LZH ]"}));
    EXPECT_EQ(last_, kArchiveNoMember);
    EXPECT_EQ(fake().OpenHandles(), 0);
}

TEST_F(ArchiveAccess, ListingWithoutLibraryLeavesAnEmptyList) {
    Strings list{"left over"};
    EXPECT_EQ(ListArchiveMembers(nullptr, kArchive, list, ListingMode(kPurposeDocuments)), kArchiveUnavailable);
    EXPECT_TRUE(list.empty());
}

// ---- Finding ------------------------------------------------------------------------------------

TEST_F(ArchiveAccess, FindingAMember) {
    AddMembers({"a.mid", "song.mid"});
    std::string name = "song.mid";
    EXPECT_EQ(FindArchiveMember(lib(), kArchive, name), kArchiveOk);
    EXPECT_EQ(name, "song.mid");
    EXPECT_EQ(fake().Log(),
              "SetBackGroundMode(1);SetCursorMode(0);CheckArchive(D:\\LZH\\P.LZH,0);"
              "OpenArchive(null,D:\\LZH\\P.LZH,0x00400202);FindFirst(song.mid);CloseArchive;");
}

TEST_F(ArchiveAccess, FindingAMissingMember) {
    AddMembers({"a.mid"});
    std::string name = "song.mid";
    EXPECT_EQ(FindArchiveMember(lib(), kArchive, name), kArchiveNoMember);
    EXPECT_EQ(name, kNoSuchFile + "\nFindFirst\n\n[ D:\\LZH\\P.LZH ]");
    EXPECT_EQ(fake().OpenHandles(), 0);
}

TEST_F(ArchiveAccess, FindingInABadArchive) {
    std::string name = "song.mid";
    fake().FailCheck();
    EXPECT_EQ(FindArchiveMember(lib(), kArchive, name), kArchiveCheckFailed);
    EXPECT_EQ(name, kAbnormal + "\nCheckArchive ERROR\n\n[ D:\\LZH\\P.LZH ]");
    fake().Reset();
    fake().FailOpen();
    name = "song.mid";
    EXPECT_EQ(FindArchiveMember(lib(), kArchive, name), kArchiveOpenFailed);
    EXPECT_EQ(name, kAbnormal + "\nOpenArchive\n\n[ D:\\LZH\\P.LZH ]");
}

TEST_F(ArchiveAccess, FindingWithoutLibrary) {
    std::string name = "song.mid";
    EXPECT_EQ(FindArchiveMember(nullptr, kArchive, name), kArchiveUnavailable);
    EXPECT_EQ(name, kNotLoaded);
    EXPECT_EQ(fake().Log(), "");
}

}  // namespace
}  // namespace kyro
