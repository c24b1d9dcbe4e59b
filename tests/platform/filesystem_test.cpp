#include "platform/filesystem.h"
#include "platform/filereplace.h"

#include "platform/drives.h"
#include "platform/tempfiles.h"
#include "platformtesthelpers.h"
#include "support/gonepid.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace kyro {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Every test works through drive D:, mapped to a fresh folder.
class FileSystemTest : public ::testing::Test {
protected:
    FileSystemTest() : saved_(ActiveDriveMap()) {
        DriveMap map = DriveMap::Default();
        map.Set('D', temp.Native());
        SetActiveDriveMap(map);
    }
    ~FileSystemTest() override { SetActiveDriveMap(saved_); }

    std::vector<std::string> NamesOnDisk() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(temp.Native())) names.push_back(e.path().filename().string());
        return names;
    }

    TempFolder temp;

private:
    DriveMap saved_;
};

TEST_F(FileSystemTest, ExistenceOfFilesFoldersAndLinks) {
    temp.Write("Midi/Song.mid", "MThd");
    fs::create_symlink(temp.Native("Midi/Song.mid"), temp.Native("link.mid"));
    fs::create_symlink(temp.Native("Midi"), temp.Native("linkdir"));
    fs::create_symlink(temp.Native("gone"), temp.Native("broken.mid"));

    EXPECT_TRUE(FileExists("D:\\MIDI\\SONG.MID"));
    EXPECT_TRUE(FileExists("D:\\link.mid"));
    EXPECT_FALSE(FileExists("D:\\Midi"));
    EXPECT_FALSE(FileExists("D:\\broken.mid"));
    EXPECT_FALSE(FileExists("D:\\missing.mid"));
    EXPECT_FALSE(FileExists("Q:\\unmapped.mid"));

    EXPECT_TRUE(FolderExists("D:\\midi"));
    EXPECT_TRUE(FolderExists("D:\\midi\\"));
    EXPECT_TRUE(FolderExists("D:\\linkdir\\"));
    EXPECT_TRUE(FolderExists("D:\\"));
    EXPECT_FALSE(FolderExists("D:\\Midi\\Song.mid"));

    EXPECT_TRUE(FileReadable("D:\\Midi\\Song.mid"));
    EXPECT_FALSE(FileReadable("D:\\Midi"));
    EXPECT_FALSE(FileReadable("D:\\missing.mid"));
}

TEST_F(FileSystemTest, UnreadableFileIsReportedSo) {
    temp.Write("locked.mid", "x");
    ::chmod(temp.Native("locked.mid").c_str(), 0);
    if (::access(temp.Native("locked.mid").c_str(), R_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_TRUE(FileExists("D:\\locked.mid"));
    EXPECT_FALSE(FileReadable("D:\\locked.mid"));
    EXPECT_EQ(ReadFileBytes("D:\\locked.mid"), std::nullopt);
}

TEST_F(FileSystemTest, ReadsWholeFilesAndStopsAtTheLimit) {
    const std::string bytes("A\0\x83\x5C" "end", 7);
    temp.Write("data.bin", bytes);
    EXPECT_EQ(ReadFileBytes("D:\\DATA.BIN"), bytes);
    EXPECT_EQ(ReadFileBytes("D:\\data.bin", 3), bytes.substr(0, 3));
    EXPECT_EQ(ReadFileBytes("D:\\data.bin", 0), "");
    temp.Write("empty", "");
    EXPECT_EQ(ReadFileBytes("D:\\empty"), "");
    EXPECT_EQ(ReadFileBytes("D:\\missing"), std::nullopt);
    EXPECT_EQ(ReadFileBytes("D:\\"), std::nullopt);

    const std::string big(200000, 'x');
    temp.Write("big", big);
    EXPECT_EQ(ReadFileBytes("D:\\big"), big);
    EXPECT_EQ(ReadFileBytes("D:\\big", 150000)->size(), 150000u);
}

TEST_F(FileSystemTest, WriteCreatesAndReplacesLeavingNoTemporaryFile) {
    ASSERT_TRUE(WriteFileAtomic("D:\\list.dat", "one"));
    EXPECT_EQ(temp.Read("list.dat"), "one");
    ::chmod(temp.Native("list.dat").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic("D:\\LIST.DAT", "two"));  // the existing name, whatever its case
    EXPECT_EQ(temp.Read("list.dat"), "two");
    struct stat st {};
    ASSERT_EQ(::stat(temp.Native("list.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replacement keeps the permissions
    EXPECT_EQ(NamesOnDisk(), std::vector<std::string>{"list.dat"});
}

TEST_F(FileSystemTest, WriteThroughALinkReplacesTheLinkedFile) {
    temp.Write("real.ini", "old");
    fs::create_symlink(temp.Native("real.ini"), temp.Native("link.ini"));
    ASSERT_TRUE(WriteFileAtomic("D:\\link.ini", "new"));
    EXPECT_TRUE(fs::is_symlink(temp.Native("link.ini")));
    EXPECT_EQ(temp.Read("real.ini"), "new");
}

TEST_F(FileSystemTest, FailedWriteLeavesTheOldFileAndNoTemporary) {
    temp.Write("list.dat", "old contents");
    {
        test::FileSizeLimit limit(16);  // the new contents do not fit, as on a full disk
        EXPECT_FALSE(WriteFileAtomic("D:\\list.dat", std::string(100, 'n')));
    }
    EXPECT_EQ(temp.Read("list.dat"), "old contents");
    EXPECT_EQ(NamesOnDisk(), std::vector<std::string>{"list.dat"});

    EXPECT_FALSE(WriteFileAtomic("D:\\no\\such\\folder\\x.dat", "x"));
    temp.Write("folder/inside", "x");
    EXPECT_FALSE(WriteFileAtomic("D:\\folder", "x"));
    EXPECT_FALSE(WriteFileAtomic("D:\\folder\\", "x"));
    EXPECT_TRUE(fs::is_directory(temp.Native("folder")));
    EXPECT_FALSE(WriteFileAtomic("Q:\\x.dat", "x"));
}

TEST_F(FileSystemTest, WriteToAReadOnlyFolderFails) {
    temp.Write("ro/list.dat", "old");
    ::chmod(temp.Native("ro").c_str(), 0555);
    if (::access(temp.Native("ro").c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_FALSE(WriteFileAtomic("D:\\ro\\list.dat", "new"));
    EXPECT_EQ(temp.Read("ro/list.dat"), "old");
}

TEST_F(FileSystemTest, DeletesFilesOnly) {
    temp.Write("a.mid", "x");
    temp.Write("dir/b.mid", "x");
    EXPECT_TRUE(DeleteFileAt("D:\\A.MID"));
    EXPECT_FALSE(temp.Exists("a.mid"));
    EXPECT_FALSE(DeleteFileAt("D:\\a.mid"));
    EXPECT_FALSE(DeleteFileAt("D:\\dir"));
    EXPECT_TRUE(temp.Exists("dir/b.mid"));
}

TEST_F(FileSystemTest, ListsFoldersWithAttributes) {
    temp.Write("b.mid", "x");
    temp.Write("A.MID", "x");
    temp.Write(".hidden", "x");
    temp.Write("Sub/x", "x");
    temp.Write("曲.mid", "x");
    temp.Write("€.mid", "x");  // CP932 has no euro sign: not listed
    fs::create_symlink(temp.Native("Sub"), temp.Native("linkdir"));
    fs::create_symlink(temp.Native("b.mid"), temp.Native("linkfile"));

    const auto entries = ListFolder("D:\\");
    ASSERT_TRUE(entries);
    std::vector<std::string> names;
    for (const auto& e : *entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A.MID", "Sub", "b.mid", "linkdir", "linkfile", "\x8B\xC8.mid"}));

    auto find = [&](const std::string& name) {
        for (const auto& e : *entries)
            if (e.name == name) return e;
        ADD_FAILURE() << name << " not listed";
        return DirEntry{};
    };
    EXPECT_TRUE(find(".hidden").hidden);
    EXPECT_FALSE(find("A.MID").hidden);
    EXPECT_TRUE(find("Sub").isFolder);
    EXPECT_FALSE(find("Sub").system);
    EXPECT_TRUE(find("linkdir").isFolder);
    EXPECT_TRUE(find("linkdir").system);  // a linked folder is never entered: no loops
    EXPECT_FALSE(find("linkfile").isFolder);
    EXPECT_FALSE(find("linkfile").system);

    EXPECT_EQ(ListFolder("D:\\sub")->size(), 1u);
    EXPECT_EQ(ListFolder("D:\\missing\\"), std::nullopt);
    EXPECT_EQ(ListFolder("D:\\b.mid"), std::nullopt);
}

// True when `folder` is a mount point of devtmpfs on this machine.
bool IsDevtmpfsMount(const std::string& folder) {
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line))
        if (line.find(" " + folder + " ") != std::string::npos && line.find(" - devtmpfs ") != std::string::npos)
            return true;
    return false;
}

TEST(NativeAttributes, PseudoFileSystemsAreSystemFolders) {
    EXPECT_TRUE(NativeAttributes("/proc").system);
    EXPECT_TRUE(NativeAttributes("/proc").isFolder);
    EXPECT_EQ(NativeAttributes("/proc").name, "proc");
    if (fs::is_directory("/sys/kernel")) {
        EXPECT_TRUE(NativeAttributes("/sys").system);
    }
    if (IsDevtmpfsMount("/dev")) {
        EXPECT_TRUE(NativeAttributes("/dev").system);
    }
    EXPECT_FALSE(NativeAttributes("/").system);

    TempFolder temp;
    temp.Write("plain/x", "x");
    EXPECT_FALSE(NativeAttributes(temp.Native("plain")).system);
    EXPECT_FALSE(NativeAttributes(temp.Native("plain/")).system);
    EXPECT_EQ(NativeAttributes(temp.Native("plain/")).name, "plain");
}

TEST(DosPathHelpers, TrailingBackslashIsFoundFromTheStart) {
    EXPECT_EQ(WithTrailingBackslash("D:\\MIDI"), "D:\\MIDI\\");
    EXPECT_EQ(WithTrailingBackslash("D:\\MIDI\\"), "D:\\MIDI\\");
    // "ソ" (83 5C) ends in 0x5C but is not a backslash.
    EXPECT_EQ(WithTrailingBackslash("D:\\\x83\x5C"), "D:\\\x83\x5C\\");
    EXPECT_EQ(WithTrailingBackslash("D:\\\x83\x5C\\"), "D:\\\x83\x5C\\");
    EXPECT_EQ(WithTrailingBackslash(""), "\\");
}

TEST_F(FileSystemTest, ShorthandsUseTheActiveDriveMap) {
    EXPECT_EQ(NativePath("D:\\a.mid"), temp.Native("a.mid"));
    EXPECT_EQ(DosPath(temp.Native("a.mid")), "D:\\a.mid");
    EXPECT_EQ(NativePath("Q:\\a.mid"), std::nullopt);
}

TEST_F(FileSystemTest, FilesWrittenTogetherAllChangeOrNoneDoes) {
    temp.Write("a.dat", "old a");
    temp.Write("b.dat", "old b");
    fs::create_directory(temp.Native("c.dat"));  // cannot be replaced by a file
    EXPECT_EQ(WriteFilesAtomic({{"D:\\a.dat", "new a"}, {"D:\\b.dat", "new b"}, {"D:\\c.dat", "new c"}}), 2);
    EXPECT_EQ(temp.Read("a.dat"), "old a");
    EXPECT_EQ(temp.Read("b.dat"), "old b");

    EXPECT_EQ(WriteFilesAtomic({{"D:\\a.dat", "new a"}, {"D:\\fresh.dat", "new f"}}), -1);
    EXPECT_EQ(temp.Read("a.dat"), "new a");
    EXPECT_EQ(temp.Read("fresh.dat"), "new f");
    std::vector<std::string> expected{"a.dat", "b.dat", "c.dat", "fresh.dat"};
    auto names = NamesOnDisk();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected);  // no temporary or kept copies left behind
}

// The second target turns into a folder once the first has been replaced: the first gets its old
// content back, and the second's old content is not lost.
std::string g_firstTarget, g_secondTarget;
void BlockTheSecondTargetOnceTheFirstIsNew() {
    std::ifstream first(g_firstTarget);
    std::string content((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
    if (content != "new a" || fs::is_directory(g_secondTarget)) return;
    fs::remove(g_secondTarget);
    fs::create_directories(g_secondTarget + "/inside");
}

TEST_F(FileSystemTest, ReplacementFailingHalfWayPutsTheReplacedFileBack) {
    temp.Write("a.dat", "old a");
    temp.Write("b.dat", "old b");
    g_firstTarget = temp.Native("a.dat");
    g_secondTarget = temp.Native("b.dat");
    SetWriteStepHook(&BlockTheSecondTargetOnceTheFirstIsNew);
    const int failed = WriteFilesAtomic({{"D:\\a.dat", "new a"}, {"D:\\b.dat", "new b"}});
    SetWriteStepHook(nullptr);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(temp.Read("a.dat"), "old a");
    std::vector<std::string> keptCopies;  // the old b, which has no place to go back to
    for (const auto& name : NamesOnDisk())
        if (name != "a.dat" && name != "b.dat") keptCopies.push_back(temp.Read(name));
    EXPECT_EQ(keptCopies, std::vector<std::string>{"old b"});
}

// Without the folder's lock only a process that is gone tells a leftover; with it, every leftover
// of the program's names is one, whatever number it carries (this process's own included: in a
// sandbox every run may get the same number).
TEST_F(FileSystemTest, StartUpRemovesTheLeftoversOfRunsThatHaveEnded) {
    const std::string gone = std::to_string(test::GonePid()), self = std::to_string(getpid());
    const struct {
        std::string name;
        bool staysShared, staysSoleWriter;
    } files[] = {
        {".KYROTitl.dat." + gone + "-1.tmp", false, false},
        {".kyrolist.DAT." + gone + "-2.tmp", false, false},
        {".KYROList.dat." + gone + "-3.journal", false, false},  // cut short: the save had not begun
        {".KYROTitl.dat." + self + "-4.tmp", true, false},       // a running save, or one of the same number
        {".KYROList.dat.1-5.journal", true, false},              // process 1 is always there
        {".notes.txt." + gone + "-6.tmp", true, true},           // not a file of ours
        {".KYROTitl.dat.tmp", true, true},
        {"KYROTitl.dat", true, true},
    };
    for (const FolderAccess access : {FolderAccess::Shared, FolderAccess::SoleWriter}) {
        for (const auto& f : files) temp.Write(f.name, "x");
        RecoverInterruptedWrites("D:\\", {"KYROList.dat", "KYROTitl.dat"}, access);
        for (const auto& f : files)
            EXPECT_EQ(temp.Exists(f.name), access == FolderAccess::Shared ? f.staysShared : f.staysSoleWriter) << f.name;
    }
}

// A journal of the program's first version (no identities) left by a killed run is finished at
// the next start, unless a later save has replaced its target since: the kept second name of the
// old file tells which.
TEST_F(FileSystemTest, AFirstVersionJournalIsFinishedUnlessALaterSaveOvertookIt) {
    for (const bool overtaken : {false, true}) {
        SCOPED_TRACE(overtaken ? "overtaken" : "finished");
        const std::string pid = std::to_string(test::GonePid());
        const std::string temp1 = ".KYROList.dat." + pid + "-1.tmp", kept = ".KYROList.dat." + pid + "-2.tmp";
        temp.Write("KYROList.dat", "old list");
        temp.Write(temp1, "new list");
        fs::create_hard_link(temp.Native("KYROList.dat"), temp.Native(kept));
        temp.Write(".KYROList.dat." + pid + "-3.journal",
                   "kyrotune replacement 1\n" + temp.Native("KYROList.dat") + '\0' + temp.Native(temp1) + '\0' +
                       temp.Native(kept) + '\0' + "end\n");
        if (overtaken) {
            temp.Write("later", "later list");
            fs::rename(temp.Native("later"), temp.Native("KYROList.dat"));
        }
        RecoverInterruptedWrites("D:\\", {"KYROList.dat"}, FolderAccess::SoleWriter);
        EXPECT_EQ(temp.Read("KYROList.dat"), overtaken ? "later list" : "new list");
        EXPECT_EQ(NamesOnDisk(), std::vector<std::string>{"KYROList.dat"});
    }
}

TEST_F(FileSystemTest, ProbeNeverOpensAnExistingFile) {
    temp.Write("TempTemp.tmp", "the user's own");
    EXPECT_EQ(ProbeNewFile("D:\\TempTemp.tmp"), ProbeResult::AlreadyExists);
    EXPECT_EQ(temp.Read("TempTemp.tmp"), "the user's own");
    EXPECT_EQ(ProbeNewFile("D:\\probe.tmp"), ProbeResult::Created);
    EXPECT_FALSE(temp.Exists("probe.tmp"));
    EXPECT_EQ(ProbeNewFile("D:\\missing\\probe.tmp"), ProbeResult::Failed);
}

}  // namespace
}  // namespace kyro
