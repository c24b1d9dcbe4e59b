// libunlha32.so: the extraction command "e -n1 ARCHIVE FOLDER\ MEMBER".

#include "realunlha.h"

#include "platform/privatetempfolder.h"
#include "unlha32/unlhaerrors.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace kyro::test {
namespace {

using ArchiveExtract = RealUnlhaTest;

const std::string kSong = "MThd\x00\x00\x00\x06 a song";

TEST_F(ArchiveExtract, UnpacksATopLevelMember) {
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"other.mid", "", "x", 0}, {"song.mid", "", kSong, 0}}));
    dir_.MakeFolder("tmp");
    std::string message;
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "song.mid", &message), 0);
    EXPECT_EQ(dir_.Read("tmp/song.mid"), kSong);
    EXPECT_EQ(dir_.Entries("tmp"), (std::vector<std::string>{"song.mid"}));
    EXPECT_FALSE(message.empty());
}

TEST_F(ArchiveExtract, SpacesInArchiveFolderAndMember) {
    dir_.MakeFolder("my songs");
    dir_.MakeFolder("temp dir");
    ASSERT_TRUE(WriteLzh(dir_.Native("my songs/pack 2.lzh"), {{"my song.mid", "", kSong, 2}}));
    dir_.Write("my songs/pack", "a file named like the start of the archive path");
    EXPECT_EQ(Extract(DosPath(dir_.Native("my songs/pack 2.lzh")), DosFolder(dir_.Native("temp dir")), "my song.mid"), 0);
    EXPECT_EQ(dir_.Read("temp dir/my song.mid"), kSong);
}

TEST_F(ArchiveExtract, MemberInSubfoldersAsTheProgramListsIt) {
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"a\\b\\c.mid", "", kSong, 0}, {"d.mid", "e\\f", "ef", 1}}));
    dir_.MakeFolder("tmp");
    // The program strips up to the first "/" of a listed name: a/b/c.mid is asked for as b/c.mid.
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "b/c.mid"), 0);
    EXPECT_EQ(dir_.Read("tmp/b/c.mid"), kSong);
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "F\\D.MID"), 0);
    EXPECT_EQ(dir_.Read("tmp/F/D.MID"), "ef");
}

TEST_F(ArchiveExtract, WholeNameWinsOverAMatchingTail) {
    // Both list as "song.mid" once the program strips the first folder.
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"a\\song.mid", "", "in a", 0}, {"song.mid", "", "top", 0}}));
    dir_.MakeFolder("tmp");
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "SONG.MID"), 0);
    EXPECT_EQ(dir_.Read("tmp/SONG.MID"), "top");
}

TEST_F(ArchiveExtract, Cp932NamesBecomeUtf8Files) {
    const std::string hyoSo = "\x95\x5C\x83\x5C.mid";  // 表ソ.mid
    ASSERT_TRUE(WriteLzh(dir_.Native("j.lzh"), {{hyoSo, "", "level0", 0}, {"x.mid", "\x8B\xC8\x8F\x57", "level1", 1}}));
    dir_.MakeFolder("tmp");
    EXPECT_EQ(Extract(DosPath(dir_.Native("j.lzh")), DosFolder(dir_.Native("tmp")), hyoSo), 0);
    EXPECT_EQ(dir_.Read("tmp/表ソ.mid"), "level0");
    EXPECT_EQ(Extract(DosPath(dir_.Native("j.lzh")), DosFolder(dir_.Native("tmp")), "\x8B\xC8\x8F\x57\\x.mid"), 0);
    EXPECT_EQ(dir_.Read("tmp/曲集/x.mid"), "level1");
}

TEST_F(ArchiveExtract, ReplacesAnEarlierCopy) {
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"song.mid", "", kSong, 1}}));
    dir_.Write("tmp/song.mid", "an older, longer copy of the song that must go entirely");
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "song.mid"), 0);
    EXPECT_EQ(dir_.Read("tmp/song.mid"), kSong);
}

TEST_F(ArchiveExtract, DamagedMemberLeavesNoFile) {
    std::string damaged = BuildLzh({{"big.mid", "", std::string(100000, 'b'), 0}});
    ASSERT_TRUE(WriteLzh(dir_.Native("crc.lzh"), {{"bad.mid", "", kSong, 0, true}, {"good.mid", "", kSong, 0}}));
    dir_.Write("cut.lzh", damaged.substr(0, 5000));
    dir_.MakeFolder("tmp");
    std::string message;
    EXPECT_EQ(Extract(DosPath(dir_.Native("crc.lzh")), DosFolder(dir_.Native("tmp")), "bad.mid", &message), unlha::kDamagedMember);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(Extract(DosPath(dir_.Native("cut.lzh")), DosFolder(dir_.Native("tmp")), "big.mid"), unlha::kDamagedMember);
    EXPECT_TRUE(dir_.Entries("tmp").empty()) << "a partial or temporary file was left";
    // The damage is the member's own: its neighbour still unpacks.
    EXPECT_EQ(Extract(DosPath(dir_.Native("crc.lzh")), DosFolder(dir_.Native("tmp")), "good.mid"), 0);
}

TEST_F(ArchiveExtract, MembersOfEveryLengthComeOutWhole) {
    // Lengths around the CRC's 8-byte steps and the library's 4 KB and 64 KB reads, behind a
    // stub: the first member's data starts inside the block the header search read.
    std::vector<LzhMember> members;
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 17u, 4095u, 4096u, 4097u, 65535u, 65536u, 65537u, 200003u})
        members.push_back({"m" + std::to_string(length) + ".mid", "", SampleText(static_cast<uint32_t>(length), length), 0});
    dir_.Write("sfx.lzh", std::string(3000, 'M') + BuildLzh(members));
    dir_.MakeFolder("tmp");
    for (const auto& m : members) {
        EXPECT_EQ(Extract(DosPath(dir_.Native("sfx.lzh")), DosFolder(dir_.Native("tmp")), m.name), 0) << m.name;
        EXPECT_EQ(dir_.Read("tmp/" + m.name), m.data) << m.name;
    }
    EXPECT_EQ(dir_.Entries("tmp").size(), members.size());
}

TEST_F(ArchiveExtract, TraversalNamesAreRefused) {
    dir_.MakeFolder("out/tmp");
    ASSERT_TRUE(WriteLzh(dir_.Native("out/evil.lzh"), {
        {"..\\evil.mid", "", "e1", 0},
        {"../evil2.mid", "", "e2", 0},
        {"/abs.mid", "", "e3", 0},
        {"C:x.mid", "", "e4", 0},
        {"\\..\\evil3.mid", "", "e5", 0},
        {"C:..\\evil4.mid", "", "e6", 0},
        {"ok.mid", "", "fine", 0},
    }));
    const std::string archive = DosPath(dir_.Native("out/evil.lzh"));
    const std::string folder = DosFolder(dir_.Native("out/tmp"));
    EXPECT_EQ(List(archive), (std::vector<std::string>{"../evil.mid", "../evil2.mid", "abs.mid", "x.mid", "../evil3.mid",
                                                       "../evil4.mid", "ok.mid"}));
    // Asked for as stored, and as the program lists them (up to the first "/" removed). A name
    // asked for from the root or a drive is refused even where the member itself unpacks.
    for (const char* member : {"..\\evil.mid", "../evil2.mid", "/abs.mid", "\\abs.mid", "C:x.mid", "evil.mid",
                               "evil2.mid", "evil3.mid", "evil4.mid", "ok.mid/../../evil.mid"})
        EXPECT_EQ(Extract(archive, folder, member), unlha::kUnsafeName) << member;
    EXPECT_TRUE(dir_.Entries("out/tmp").empty());
    EXPECT_EQ(dir_.Entries("out"), (std::vector<std::string>{"evil.lzh", "tmp"}));
    EXPECT_FALSE(dir_.Exists("out/evil.mid"));
    EXPECT_FALSE(dir_.Exists("out/evil2.mid"));
    EXPECT_FALSE(std::filesystem::exists("/abs.mid"));
    for (const char* member : {"ok.mid", "abs.mid", "x.mid"}) EXPECT_EQ(Extract(archive, folder, member), 0) << member;
    EXPECT_EQ(dir_.Entries("out/tmp"), (std::vector<std::string>{"abs.mid", "ok.mid", "x.mid"}));
}

TEST_F(ArchiveExtract, NamesFromTheRootUnpackInsideTheFolder) {
    // Windows archivers store "\\sub\\x.mid" (in the name at levels 0 to 2, or as a folder
    // starting at the root mark); the library lists it without the root, and the program asks
    // for the listed name after its first "/".
    struct Case {
        LzhMember stored;
        std::string listed, asked;
    };
    const Case cases[] = {
        {{"\\subdir\\subdir2\\hello.mid", "", "", 0}, "subdir/subdir2/hello.mid", "subdir2/hello.mid"},
        {{"\\subdir\\subdir2\\hello.mid", "", "", 1}, "subdir/subdir2/hello.mid", "subdir2/hello.mid"},
        {{"\\subdir\\subdir2\\hello.mid", "", "", 2}, "subdir/subdir2/hello.mid", "subdir2/hello.mid"},
        {{"z.mid", "\\abs", "", 2}, "abs/z.mid", "z.mid"},
        {{"z.mid", "/abs", "", 3}, "abs/z.mid", "z.mid"},
        {{"C:x.mid", "", "", 0}, "x.mid", "x.mid"},
        {{"C:\\dir\\y.mid", "", "", 1}, "dir/y.mid", "y.mid"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].listed + " level " + std::to_string(cases[i].stored.level));
        LzhMember member = cases[i].stored;
        member.data = SampleSong(static_cast<uint32_t>(i), 50);
        const std::string name = "p" + std::to_string(i);
        ASSERT_TRUE(WriteLzh(dir_.Native(name + ".lzh"), {member}));
        const std::string archive = DosPath(dir_.Native(name + ".lzh"));
        EXPECT_EQ(List(archive, cases[i].asked.c_str()), (std::vector<std::string>{cases[i].listed}));
        EXPECT_EQ(Extract(archive, DosFolder(dir_.MakeFolder(name)), cases[i].asked), 0);
        EXPECT_EQ(dir_.Read(name + "/" + cases[i].asked), member.data);
    }
    EXPECT_EQ(dir_.Entries("").size(), 2 * std::size(cases)) << "only the archives and their output folders";
    EXPECT_FALSE(std::filesystem::exists("/abs/z.mid"));
}

TEST_F(ArchiveExtract, LinkInsideTheFolderIsNotFollowed) {
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"sub\\x.mid", "", kSong, 0}}));
    dir_.MakeFolder("tmp");
    dir_.MakeFolder("elsewhere");
    std::filesystem::create_directory_symlink(dir_.Native("elsewhere"), dir_.Native("tmp/sub"));
    EXPECT_NE(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("tmp")), "sub/x.mid"), 0);
    EXPECT_TRUE(dir_.Entries("elsewhere").empty());
}

TEST_F(ArchiveExtract, FailuresAreReportedWithTheirCause) {
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"song.mid", "", kSong, 0}}));
    dir_.Write("text.lzh", "plain text");
    dir_.MakeFolder("tmp");
    const std::string archive = DosPath(dir_.Native("p.lzh"));
    const std::string folder = DosFolder(dir_.Native("tmp"));
    EXPECT_EQ(Extract(archive, folder, "missing.mid"), unlha::kMemberNotFound);
    EXPECT_EQ(Extract(DosPath(dir_.Native("none.lzh")), folder, "song.mid"), unlha::kArchiveNotFound);
    EXPECT_EQ(Extract(DosPath(dir_.Native("text.lzh")), folder, "song.mid"), unlha::kNotAnArchive);
    EXPECT_EQ(Extract(archive, DosFolder(dir_.Native("no folder")), "song.mid"), unlha::kFolderNotFound);
    EXPECT_TRUE(dir_.Entries("tmp").empty());

    char tiny[4];
    EXPECT_EQ(Fn().Command(nullptr, ("x " + archive + " " + folder + " song.mid").c_str(), tiny, sizeof tiny), unlha::kBadCommand);
    EXPECT_EQ(tiny[3], '\0');
    EXPECT_EQ(Fn().Command(nullptr, "e -n1", nullptr, 0), unlha::kBadCommand);
    EXPECT_NE(Fn().Command(nullptr, nullptr, tiny, sizeof tiny), 0);
}

TEST_F(ArchiveExtract, ThroughTheProgramsResolver) {
    dir_.MakeFolder("lzh");
    ASSERT_TRUE(WriteLzh(dir_.Native("lzh/p.lzh"), {{"song.mid", "", kSong, 2}}));
    dir_.MakeFolder("tmp");
    static std::string root;
    root = dir_.Native();
    Fn().SetPathResolver([](const char* dos, char* out, size_t size) -> int {
        std::string path(dos);
        if (path.rfind("D:\\", 0) != 0) return 0;
        std::string native = root + "/" + path.substr(3);
        for (char& c : native)
            if (c == '\\') c = '/';
        if (native.size() >= size) return 0;
        std::memcpy(out, native.c_str(), native.size() + 1);
        return 1;
    });
    EXPECT_EQ(Extract("D:\\lzh\\p.lzh", "D:\\tmp\\", "song.mid"), 0);
    EXPECT_EQ(dir_.Read("tmp/song.mid"), kSong);
}

// A run killed while it unpacks (here by the file size limit, in the middle of the member's data)
// leaves the member written halfway and the folders of its name; the next run removes them.
TEST_F(ArchiveExtract, AKillWhileUnpackingLeavesNothingAfterTheNextStart) {
    const std::string big = SampleText(7, 1 << 20);
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"big.mid", "deep/er/still", big, 2}}));
    const std::string temp = dir_.MakeFolder("temp");
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{64 * 1024, RLIM_INFINITY};
        ::setrlimit(RLIMIT_FSIZE, &limit);  // SIGXFSZ ends the process at the limit
        PrivateTempFolder run(temp);
        Extract(DosPath(dir_.Native("p.lzh")), DosFolder(run.Native()), "er/still/big.mid");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "the unpacking was not cut off";
    ASSERT_EQ(dir_.Entries("temp").size(), 1u);
    const std::string killedRun = "temp/" + dir_.Entries("temp")[0];
    ASSERT_EQ(dir_.Entries(killedRun + "/er/still").size(), 1u);  // the half-written member

    const PrivateTempFolder next(temp);
    EXPECT_EQ(dir_.Entries("temp"), std::vector<std::string>{next.Name()});
    EXPECT_TRUE(dir_.Entries("temp/" + next.Name()).empty());
}

}  // namespace
}  // namespace kyro::test
