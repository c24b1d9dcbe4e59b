// libunlha32.so: recognising archives and listing their members.

#include "realunlha.h"

#include <cstddef>

namespace kyro::test {
namespace {

const std::string kHyoSo = "\x95\x5C\x83\x5C.mid";  // 表ソ.mid, second bytes 0x5C
const std::string kKyokushu = "\x8B\xC8\x8F\x57";    // 曲集

using ArchiveCheck = RealUnlhaTest;
using ArchiveListing = RealUnlhaTest;

TEST_F(ArchiveCheck, OffersTheRequiredFunctions) {
    for (const auto& check : kRequiredArchiveFunctions) EXPECT_NE(Fn().QueryFunctionList(check.index), 0) << check.name;
    EXPECT_EQ(Fn().QueryFunctionList(2), 0);
    EXPECT_EQ(Fn().QueryFunctionList(-1), 0);
    EXPECT_GE(Fn().GetVersion(), 40);
    EXPECT_NE(Fn().SetBackGroundMode(1), 0);
    EXPECT_NE(Fn().SetCursorMode(0), 0);
}

TEST_F(ArchiveCheck, ArchivesOfEveryLevelAndMethodFamilyAreRecognised) {
    // LHA's -lh?-, LArc's -lz4-/-lz5-/-lzs- and PMarc's -pm?- ids, behind a stub or not.
    for (const char* method : {"-lh0-", "-lh5-", "-lz4-", "-lz5-", "-lzs-", "-pm0-", "-pm2-"}) {
        for (int level = 0; level <= 3; ++level) {
            LzhMember member{"a.mid", "", "data", level};
            member.method = method;
            member.packed = "data";  // recognising looks at the header only
            std::string path = dir_.Native(std::string(method + 1, 3) + std::to_string(level) + ".lzh");
            ASSERT_TRUE(WriteLzh(path, {member}));
            EXPECT_NE(Fn().CheckArchive(DosPath(path).c_str(), 0), 0) << method << " level " << level;
            dir_.Write("sfx.lzh", std::string(3000, 'M') + BuildLzh({member}));
            EXPECT_NE(Fn().CheckArchive(DosPath(dir_.Native("sfx.lzh")).c_str(), 0), 0) << method << " level " << level;
        }
    }
}

TEST_F(ArchiveCheck, OtherMethodIdsAreNoHeader) {
    // "-pms-" marks PMarc's self-extractor, not a member; "-lzx-" and "-ab5-" are nobody's.
    for (const char* method : {"-pms-", "-lzx-", "-ab5-"}) {
        LzhMember member{"a.mid", "", "data", 0};
        member.method = method;
        member.packed = "data";
        dir_.Write("odd.lzh", BuildLzh({member}));
        EXPECT_EQ(Fn().CheckArchive(DosPath(dir_.Native("odd.lzh")).c_str(), 0), 0) << method;
    }
}

TEST_F(ArchiveCheck, NonArchivesAreRefused) {
    dir_.Write("text.lzh", "This is a text file, not an archive.\r\n");
    dir_.Write("empty.lzh", "");
    dir_.Write("endmark.lzh", std::string(1, '\0'));
    // A method id where a header would have it, but the checksum is wrong.
    std::string fake = BuildLzh({{"a.mid", "", "data", 0}});
    fake[1] = static_cast<char>(fake[1] + 1);
    dir_.Write("badsum.lzh", fake);
    dir_.Write("cut.lzh", BuildLzh({{"a.mid", "", "data", 0}}).substr(0, 15));
    dir_.MakeFolder("folder.lzh");
    for (const char* name : {"text.lzh", "empty.lzh", "endmark.lzh", "badsum.lzh", "cut.lzh", "folder.lzh", "missing.lzh"}) {
        EXPECT_EQ(Fn().CheckArchive(DosPath(dir_.Native(name)).c_str(), 0), 0) << name;
        EXPECT_EQ(Fn().OpenArchive(nullptr, DosPath(dir_.Native(name)).c_str(), 0x00400202), nullptr) << name;
    }
    EXPECT_EQ(Fn().CheckArchive(nullptr, 0), 0);
    EXPECT_EQ(Fn().CheckArchive("Q:\\no drive\\x.lzh", 0), 0);
}

TEST_F(ArchiveCheck, LeadingStubIsSkipped) {
    // As in a self-extracting archive: program bytes before the first header.
    dir_.Write("sfx.lzh", std::string(1000, '\x90') + BuildLzh({{"a.mid", "", "data", 1}}));
    EXPECT_NE(Fn().CheckArchive(DosPath(dir_.Native("sfx.lzh")).c_str(), 0), 0);
    EXPECT_EQ(List(DosPath(dir_.Native("sfx.lzh"))), (std::vector<std::string>{"a.mid"}));
    // liblhasa searches 64 KB; the library reads a header's bytes a bounded number of times,
    // and a search that long must still fit.
    dir_.Write("far.lzh", std::string(65000, '\x90') + BuildLzh({{"a.mid", "", "data", 0}}));
    EXPECT_EQ(List(DosPath(dir_.Native("far.lzh"))), (std::vector<std::string>{"a.mid"}));
}

TEST_F(ArchiveCheck, HeaderAcrossTheFirstReadBlockIsFound) {
    // The search reads a first 4 KB block and reads on only when a header may lie further:
    // one cut by the end of that block, or one whose claimed length reaches past it.
    for (int level = 0; level <= 3; ++level) {
        const std::string archive = BuildLzh({{"a.mid", "", "data", level}, {"b.mid", "", SampleText(3, 9000), level}});
        for (size_t stub : {4050u, 4080u, 4090u, 4095u, 4096u, 8190u}) {
            dir_.Write("edge.lzh", std::string(stub, '\x90') + archive);
            const std::string dos = DosPath(dir_.Native("edge.lzh"));
            EXPECT_NE(Fn().CheckArchive(dos.c_str(), 0), 0) << "level " << level << ", stub " << stub;
            EXPECT_EQ(List(dos), (std::vector<std::string>{"a.mid", "b.mid"})) << "level " << level << ", stub " << stub;
        }
    }
    // A level 2 header of 6 KB (a long folder name) at the very start.
    ASSERT_TRUE(WriteLzh(dir_.Native("long.lzh"), {{"a.mid", std::string(6000, 'f'), "data", 2}}));
    const std::string dos = DosPath(dir_.Native("long.lzh"));
    EXPECT_NE(Fn().CheckArchive(dos.c_str(), 0), 0);
    EXPECT_EQ(List(dos).size(), 1u);
}

TEST_F(ArchiveListing, NamesComeAsStoredWithSlashBetweenFolders) {
    std::string path = dir_.Native("my songs/pack.lzh");
    dir_.MakeFolder("my songs");
    ASSERT_TRUE(WriteLzh(path, {
        {"top.mid", "", "1", 0},
        {"sub\\inner.mid", "", "2", 0},
        {"", "sub", "", 1, false, true},  // folder entries are not listed
        {"deep.mid", "a\\b", "3", 1},
        {"my song.mid", "x y", "4", 2},
    }));
    EXPECT_EQ(List(DosPath(path)), (std::vector<std::string>{"top.mid", "sub/inner.mid", "a/b/deep.mid", "x y/my song.mid"}));
}

TEST_F(ArchiveListing, Cp932SecondByte5CSurvivesLevels0And1) {
    std::string path = dir_.Native("cp932.lzh");
    ASSERT_TRUE(WriteLzh(path, {
        {kHyoSo, "", "0", 0},
        {kKyokushu + "\\" + kHyoSo, "", "0", 0},
        {kHyoSo, "", "1", 1},
        {kHyoSo, kKyokushu, "1", 1},
        {kHyoSo, kKyokushu, "2", 2},
    }));
    std::string inFolder = kKyokushu + "/" + kHyoSo;
    EXPECT_EQ(List(DosPath(path)), (std::vector<std::string>{kHyoSo, inFolder, kHyoSo, inFolder, inFolder}));
}

TEST_F(ArchiveListing, RecordIs560BytesWithTheNameAt26) {
    std::string path = dir_.Native("rec.lzh");
    ASSERT_TRUE(WriteLzh(path, {{"sub\\song.mid", "", std::string(1234, 's'), 0}}));
    HARC harc = Fn().OpenArchive(nullptr, DosPath(path).c_str(), 0x00400202);
    ASSERT_NE(harc, nullptr);
    alignas(INDIVIDUALINFO) unsigned char record[560];
    std::memset(record, 0xCC, sizeof record);
    ASSERT_EQ(Fn().FindFirst(harc, "*.*", reinterpret_cast<INDIVIDUALINFO*>(record)), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(record + 26), "sub/song.mid");
    const auto* info = reinterpret_cast<const INDIVIDUALINFO*>(record);
    EXPECT_EQ(info->dwOriginalSize, 1234u);
    EXPECT_EQ(info->dwCRC, Crc16Arc(std::string(1234, 's')));
    EXPECT_STREQ(info->szMode, "-lh0-");
    EXPECT_EQ(Fn().FindNext(harc, reinterpret_cast<INDIVIDUALINFO*>(record)), -1);
    EXPECT_EQ(Fn().CloseArchive(harc), 0);
    static_assert(sizeof(INDIVIDUALINFO) == 560 && offsetof(INDIVIDUALINFO, szFileName) == 26);
}

TEST_F(ArchiveListing, PatternsMatchWholeNameOrItsTailWithoutCase) {
    std::string path = dir_.Native("p.lzh");
    ASSERT_TRUE(WriteLzh(path, {
        {"a\\b\\c.mid", "", "1", 0},
        {"Song.MID", "", "2", 0},
        {"\x83\x41.mid", "", "3", 0},  // ア: its second byte is the code of 'A'
        {"x\\song.mid", "", "4", 0},
    }));
    std::string dos = DosPath(path);
    EXPECT_EQ(List(dos, "*"), (std::vector<std::string>{"a/b/c.mid", "Song.MID", "\x83\x41.mid", "x/song.mid"}));
    EXPECT_EQ(List(dos, "A/B/C.MID"), (std::vector<std::string>{"a/b/c.mid"}));
    EXPECT_EQ(List(dos, "b/c.mid"), (std::vector<std::string>{"a/b/c.mid"}));  // as the program lists it
    EXPECT_EQ(List(dos, "song.mid"), (std::vector<std::string>{"Song.MID", "x/song.mid"}));
    EXPECT_EQ(List(dos, "\x83\x41.MID"), (std::vector<std::string>{"\x83\x41.mid"}));
    EXPECT_TRUE(List(dos, "\x83\x61.mid").empty());  // ヂ (83 61) is another character
    EXPECT_TRUE(List(dos, "c.mi").empty());
}

TEST_F(ArchiveListing, ArchiveWithoutMembersFindsNothing) {
    std::string path = dir_.Native("dirs.lzh");
    ASSERT_TRUE(WriteLzh(path, {{"", "only", "", 2, false, true}}));
    EXPECT_TRUE(List(DosPath(path)).empty());
}

TEST_F(ArchiveListing, ClosedOrForeignHandlesAreRefused) {
    std::string path = dir_.Native("h.lzh");
    ASSERT_TRUE(WriteLzh(path, {{"a.mid", "", "1", 0}}));
    HARC harc = Fn().OpenArchive(nullptr, DosPath(path).c_str(), 0x00400202);
    ASSERT_NE(harc, nullptr);
    INDIVIDUALINFO info;
    EXPECT_EQ(Fn().FindFirst(harc, "*.*", nullptr), -1);
    EXPECT_EQ(Fn().CloseArchive(harc), 0);
    EXPECT_NE(Fn().CloseArchive(harc), 0);
    EXPECT_EQ(Fn().FindFirst(harc, "*.*", &info), -1);
    EXPECT_EQ(Fn().FindNext(harc, &info), -1);
    int notAHandle = 0;
    EXPECT_EQ(Fn().FindFirst(&notAHandle, "*.*", &info), -1);
    EXPECT_NE(Fn().CloseArchive(nullptr), 0);
}

// Maps drive D: to one scratch folder, as the program's drive map would.
std::string g_driveD;
int ResolveDriveD(const char* dos, char* out, size_t size) {
    std::string path(dos);
    if (path.rfind("D:\\", 0) != 0) return 0;
    std::string native = g_driveD + "/" + path.substr(3);
    for (char& c : native)
        if (c == '\\') c = '/';
    if (native.size() + 1 > size) return 0;
    std::memcpy(out, native.c_str(), native.size() + 1);
    return 1;
}

TEST_F(ArchiveListing, PathsGoThroughTheProgramsResolver) {
    ASSERT_TRUE(WriteLzh(dir_.Native("d.lzh"), {{"a.mid", "", "1", 0}}));
    g_driveD = dir_.Native();
    EXPECT_EQ(Fn().CheckArchive("D:\\d.lzh", 0), 0);  // without a resolver only Z: is known
    Fn().SetPathResolver(&ResolveDriveD);
    EXPECT_NE(Fn().CheckArchive("D:\\d.lzh", 0), 0);
    EXPECT_EQ(List("D:\\d.lzh"), (std::vector<std::string>{"a.mid"}));
    // With a resolver, Z: is whatever the resolver says (here: unknown).
    EXPECT_EQ(Fn().CheckArchive(DosPath(dir_.Native("d.lzh")).c_str(), 0), 0);
}

}  // namespace
}  // namespace kyro::test
