// libunlha32.so on damaged and hostile archives, and on the places where liblhasa's own reading
// of a header is not the stored one. Every case ends quickly in a clear failure (or the stored
// truth), never in a crash, a hang or a file left behind.

#include "lzhencoders.h"
#include "realunlha.h"

#include "unlha32/unlhaerrors.h"

#include <sys/stat.h>

#include <filesystem>

namespace kyro::test {
namespace {

const std::string kSong = SampleSong(21, 300);

void Set32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Level 0 and 1: the checksum over the base header after its first two bytes.
void FixChecksum(std::string& bytes, size_t headerAt = 0) {
    uint8_t sum = 0;
    const size_t end = headerAt + static_cast<uint8_t>(bytes[headerAt]) + 2;
    for (size_t i = headerAt + 2; i < end; ++i) sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(bytes[i]));
    bytes[headerAt + 1] = static_cast<char>(sum);
}

class ArchiveHostile : public RealUnlhaTest {
protected:
    // Writes `bytes` as NAME and expects it refused as an archive: no check, no handle, no
    // unpacking, nothing written.
    void ExpectRefused(const std::string& name, const std::string& bytes) {
        SCOPED_TRACE(name);
        dir_.Write(name, bytes);
        const std::string dos = DosPath(dir_.Native(name));
        EXPECT_EQ(Fn().CheckArchive(dos.c_str(), 0), 0);
        EXPECT_TRUE(List(dos) == std::vector<std::string>{"<open failed>"} || List(dos).empty());
        ExpectUnpackFails(name, "a.mid");
    }

    void ExpectUnpackFails(const std::string& name, const std::string& member, int code = 0) {
        const std::string out = dir_.MakeFolder("out");
        const int result = Extract(DosPath(dir_.Native(name)), DosFolder(out), member);
        EXPECT_NE(result, 0) << member;
        if (code != 0) {
            EXPECT_EQ(result, code) << member;
        }
        EXPECT_TRUE(dir_.Entries("out").empty()) << "a file was left for " << member;
    }
};

TEST_F(ArchiveHostile, HeaderLengthsPastTheEndOfTheFile) {
    std::string level0 = BuildLzh({{"a.mid", "", kSong, 0}});
    ExpectRefused("cut0.lzh", level0.substr(0, 25));  // inside the base header
    std::string level2 = BuildLzh({{"a.mid", "", kSong, 2}});
    level2[0] = '\xF0';
    level2[1] = '\xFF';  // 65520 bytes of header in a file of a few hundred
    ExpectRefused("long2.lzh", level2.substr(0, 200));
    std::string level3 = BuildLzh({{"a.mid", "", kSong, 3}});
    Set32(level3, 24, 0x7FFFFFFF);  // far past liblhasa's 1 MB limit
    ExpectRefused("long3.lzh", level3);
    Set32(level3, 24, 20);  // shorter than the fixed part
    ExpectRefused("short3.lzh", level3);
}

TEST_F(ArchiveHostile, NameLengthRunningPastTheHeader) {
    for (int level = 0; level <= 1; ++level) {
        std::string bytes = BuildLzh({{"a.mid", "", kSong, level}});
        bytes[21] = static_cast<char>(250);
        FixChecksum(bytes);
        ExpectRefused("name" + std::to_string(level) + ".lzh", bytes);
    }
}

TEST_F(ArchiveHostile, HeaderLevelFourAndAbove) {
    for (int level : {4, 5, 0x7F, 0xFF}) {
        std::string bytes = BuildLzh({{"a.mid", "", kSong, 2}});
        bytes[20] = static_cast<char>(level);
        ExpectRefused("level" + std::to_string(level) + ".lzh", bytes);
    }
}

TEST_F(ArchiveHostile, ExtendedHeaderSizesThatDoNotFit) {
    // Level 2: the first extended header (offset 24) claims more than the header holds, or
    // less than its own size field.
    for (uint32_t size : {0xFFFFu, 1u}) {
        std::string bytes = BuildLzh({{"a.mid", "", kSong, 2}});
        bytes[24] = static_cast<char>(size & 0xFF);
        bytes[25] = static_cast<char>(size >> 8);
        ExpectRefused("ext2-" + std::to_string(size) + ".lzh", bytes);
    }
    // Level 3: a 32-bit extended header size (offset 28) of 4 GB.
    std::string level3 = BuildLzh({{"a.mid", "", kSong, 3}});
    Set32(level3, 28, 0xFFFFFFFF);
    ExpectRefused("ext3.lzh", level3);
}

TEST_F(ArchiveHostile, EndlessChainOfLevel1ExtendedHeaders) {
    // Level 1 extended headers follow the base header until one says the next has size 0; here
    // none does, for a megabyte, and the packed size claims room for all of them. liblhasa
    // would take each one (in time growing with the square of their number where realloc
    // copies, as under AddressSanitizer); the library stops it after a bounded number.
    dir_.Write("chain.lzh", EndlessLevel1Header("a.mid", 350000));
    // A first header cut off by the read limit is damaged, and such a file is no archive.
    EXPECT_EQ(List(DosPath(dir_.Native("chain.lzh"))), (std::vector<std::string>{"<open failed>"}));
    ExpectUnpackFails("chain.lzh", "a.mid");
}

TEST_F(ArchiveHostile, HugeDeclaredLengthWithATinyMember) {
    // Stored: 4 GB declared, 10 bytes there.
    std::string stored = BuildLzh({{"a.mid", "", "0123456789", 0}});
    Set32(stored, 11, 0xFFFFFFF0);
    FixChecksum(stored);
    dir_.Write("stored.lzh", stored);
    ExpectUnpackFails("stored.lzh", "a.mid", unlha::kDamagedMember);

    // liblhasa's -pm1- decoder reads zeros once its input runs out and goes on producing bytes,
    // and a -pm2- table of the one code "copy 256 bytes" (bits 0 11101 000) needs no input at
    // all: without a bound both would write up to the declared 4 GB. Then -lh5- garbage.
    const std::pair<const char*, std::string> streams[] = {
        {"-pm1-", EncodePm1("abcabcabc")}, {"-pm2-", std::string("\x74\x00", 2)}, {"-lh5-", std::string("\x00\x48\x00\x00", 4)}};
    for (const auto& [method, packed] : streams) {
        LzhMember m{"a.mid", "", "abcabcabc", 0};
        m.method = method;
        m.packed = packed;
        std::string bytes = BuildLzh({m});
        Set32(bytes, 11, 0xFFFFFFF0);
        FixChecksum(bytes);
        const std::string name = std::string(method + 1, 3) + ".lzh";
        dir_.Write(name, bytes);
        EXPECT_EQ(List(DosPath(dir_.Native(name))), (std::vector<std::string>{"a.mid"}));
        ExpectUnpackFails(name, "a.mid", unlha::kDamagedMember);
    }
}

TEST_F(ArchiveHostile, DamagedSecondHeaderKeepsTheFirstMemberAndReportsTheDamage) {
    // The search used to end with -1 here, as at a clean end: the archive looked whole, one
    // member short, and a search for the lost member said "no such member".
    std::string bytes = BuildLzh({{"first.mid", "", kSong, 0}, {"second.mid", "", kSong, 0}});
    const size_t second = static_cast<uint8_t>(bytes[0]) + 2 + kSong.size();
    bytes[second + 1] = static_cast<char>(bytes[second + 1] + 1);  // its checksum
    dir_.Write("p.lzh", bytes);
    int ending = 0;
    EXPECT_EQ(List(DosPath(dir_.Native("p.lzh")), "*.*", &ending), (std::vector<std::string>{"first.mid"}));
    EXPECT_EQ(ending, UNLHA_ERROR_DAMAGED_ARCHIVE);
    ExpectUnpackFails("p.lzh", "second.mid", unlha::kMemberNotFound);
    EXPECT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.Native("out")), "first.mid"), 0);
    EXPECT_EQ(dir_.Read("out/first.mid"), kSong);
}

TEST_F(ArchiveHostile, DamagedCompressedDataFailsAndLeavesNoFile) {
    // song.mid, -lh5-, first in the committed level 2 fixture: a byte changed in the middle of
    // its data, then the data cut short. Its neighbours still unpack.
    std::filesystem::copy_file(std::string(KYRO_LZH_FIXTURES_DIR) + "/lh5-level2.lzh", dir_.Native("good.lzh"));
    const std::string bytes = dir_.Read("good.lzh");
    const size_t header = static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8;
    std::string flipped = bytes;
    flipped[header + 1000] = static_cast<char>(flipped[header + 1000] ^ 0x5A);
    dir_.Write("flipped.lzh", flipped);
    ExpectUnpackFails("flipped.lzh", "song.mid", unlha::kDamagedMember);
    dir_.Write("cut.lzh", bytes.substr(0, header + 1500));
    ExpectUnpackFails("cut.lzh", "song.mid", unlha::kDamagedMember);
    EXPECT_EQ(Extract(DosPath(dir_.Native("flipped.lzh")), DosFolder(dir_.Native("out")), "readme.txt"), 0);
    EXPECT_EQ(dir_.Entries("out"), (std::vector<std::string>{"readme.txt"}));
}

// liblhasa's header fields are not the stored bytes in several ways; the library reads names
// again from the raw header, so listing and unpacking see what the archive holds.
using LiblhasaTraps = RealUnlhaTest;

TEST_F(LiblhasaTraps, AllCapsNamesKeepTheirCase) {
    // liblhasa lower-cases names without a lower-case byte from DOS systems, second bytes of
    // CP932 characters included: ア.MID (83 41) would become ヂ.mid (83 61).
    const std::string a = "\x83\x41.MID";
    std::vector<LzhMember> members;
    for (int level = 0; level <= 3; ++level) members.push_back({a, level == 0 ? "" : "DIR", std::to_string(level), level});
    ASSERT_TRUE(WriteLzh(dir_.Native("caps.lzh"), members));
    EXPECT_EQ(List(DosPath(dir_.Native("caps.lzh"))), (std::vector<std::string>{a, "DIR/" + a, "DIR/" + a, "DIR/" + a}));
    dir_.MakeFolder("out");
    EXPECT_EQ(Extract(DosPath(dir_.Native("caps.lzh")), DosFolder(dir_.Native("out")), a), 0);
    EXPECT_EQ(dir_.Entries("out"), (std::vector<std::string>{"ア.MID"}));
    EXPECT_EQ(dir_.Read("out/ア.MID"), "0");
}

TEST_F(LiblhasaTraps, ParentFoldersAreSeenAndRefusedAtEveryLevel) {
    // liblhasa drops ".." folders (a/../../x.mid reads as x.mid); a level 2 or 3 file name that
    // is exactly ".." passes through. All are refused here. A folder from the root ("/abs")
    // lists and unpacks below the output folder.
    for (int level = 1; level <= 3; ++level) {
        const std::string name = "evil" + std::to_string(level) + ".lzh";
        ASSERT_TRUE(WriteLzh(dir_.Native(name), {
            {"x.mid", "..", "up", level},
            {"y.mid", "a/../..", "up2", level},
            {"z.mid", "/abs", "abs", level},
            {"..", "sub", "dots", level},
            {"ok.mid", "", "fine", level},
        }));
        const std::string dos = DosPath(dir_.Native(name));
        EXPECT_EQ(List(dos), (std::vector<std::string>{"../x.mid", "a/../../y.mid", "abs/z.mid", "sub/..", "ok.mid"}));
        const std::string out = dir_.MakeFolder("out" + std::to_string(level) + "/tmp");
        for (const char* member : {"../x.mid", "x.mid", "a/../../y.mid", "../y.mid", "y.mid", "/abs/z.mid", "sub/..", ".."})
            EXPECT_NE(Extract(dos, DosFolder(out), member), 0) << member << " level " << level;
        EXPECT_TRUE(dir_.Entries("out" + std::to_string(level) + "/tmp").empty());
        EXPECT_EQ(dir_.Entries("out" + std::to_string(level)), (std::vector<std::string>{"tmp"}));
        EXPECT_EQ(Extract(dos, DosFolder(out), "ok.mid"), 0);
        EXPECT_EQ(Extract(dos, DosFolder(out), "z.mid"), 0);
        EXPECT_EQ(dir_.Entries("out" + std::to_string(level) + "/tmp"), (std::vector<std::string>{"ok.mid", "z.mid"}));
    }
    EXPECT_FALSE(std::filesystem::exists("/abs/z.mid"));
}

TEST_F(ArchiveHostile, NamesEndingInASeparatorOrADotAreRefused) {
    // Unpacked as a file, such a member could not be opened by the name the player asked for.
    for (const char* stored : {"a.mid\\", "b.mid/", "c.mid\\."}) {
        ASSERT_TRUE(WriteLzh(dir_.Native("end.lzh"), {{stored, "", "data", 0}}));
        ExpectUnpackFails("end.lzh", stored, unlha::kUnsafeName);
    }
}

TEST_F(LiblhasaTraps, SlashInALevel2FileNameIsAFolder) {
    // liblhasa turns "/" in a level 2 file name into "_"; the stored name is a path.
    ASSERT_TRUE(WriteLzh(dir_.Native("slash.lzh"), {{"a/b.mid", "", "ab", 2}}));
    EXPECT_EQ(List(DosPath(dir_.Native("slash.lzh"))), (std::vector<std::string>{"a/b.mid"}));
    EXPECT_EQ(Extract(DosPath(dir_.Native("slash.lzh")), DosFolder(dir_.MakeFolder("out")), "a/b.mid"), 0);
    EXPECT_EQ(dir_.Read("out/a/b.mid"), "ab");
}

TEST_F(LiblhasaTraps, UnpackedFilesAreReadableByOthers) {
    // liblhasa's own extraction makes files 0600 when the header has no Unix permissions.
    ASSERT_TRUE(WriteLzh(dir_.Native("p.lzh"), {{"a.mid", "", "x", 2}}));
    ASSERT_EQ(Extract(DosPath(dir_.Native("p.lzh")), DosFolder(dir_.MakeFolder("out")), "a.mid"), 0);
    struct stat st {};
    ASSERT_EQ(stat(dir_.Native("out/a.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace kyro::test
