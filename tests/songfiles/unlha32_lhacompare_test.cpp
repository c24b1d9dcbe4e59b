// libunlha32.so against the lha command (Debian's lhasa): the committed archives of
// tests/fixtures/lzh (made by jlha) and archives written here for every other method and for
// header level 3. Both list the same members in the same order with the same sizes, methods
// and CRCs, and what the library unpacks through "e -n1 ..." is byte for byte what lha unpacks.

#include "lhacommand.h"
#include "lzhencoders.h"
#include "realunlha.h"

#include <iconv.h>

#include <cstdio>
#include <filesystem>
#include <regex>

namespace kyro::test {
namespace {

const std::string kHyoSo = "\x95\x5C\x83\x5C.mid";                          // 表ソ.mid
const std::string kKyokushuSong = "\x8B\xC8\x8F\x57/\x83\x5C\x83\x93\x83\x4F.mid";  // 曲集/ソング.mid
const std::string kKyokushu = "\x8B\xC8\x8F\x57";                           // 曲集

// The members of the committed fixtures, in stored order (see tests/fixtures/lzh/README.md).
const std::vector<std::string> kFixtureMembers = {"song.mid", kHyoSo, kKyokushuSong, "sub/inner.mid", "readme.txt"};
const std::vector<std::string> kSmallFixtureMembers = {kHyoSo, kKyokushuSong, "sub/inner.mid", "readme.txt"};

std::string Utf8(const std::string& cp932) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    std::string out(cp932.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(cp932.data());
    size_t inLeft = cp932.size();
    char* to = out.data();
    size_t toLeft = out.size();
    size_t done = iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) return "<not CP932>";
    out.resize(out.size() - toLeft);
    return out;
}

bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// A CP932 character whose second byte is 0x5C ("\"), which liblhasa breaks at levels 0 and 1.
bool HasSecondByte5C(const std::string& s) {
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            if (s[i + 1] == '\x5C') return true;
            ++i;
        }
    }
    return false;
}

struct ListedMember {
    std::string method;
    uint32_t size = 0;
    uint32_t crc = 0;
    std::string name;  // lha prints "?" for every byte above 0x7F
};

// The members (folder entries left out) as `lha v` lists them.
std::vector<ListedMember> LhaList(const std::string& archive) {
    std::vector<ListedMember> rows;
    FILE* pipe = popen(("/usr/bin/lha v " + ShellQuote(archive) + " 2>/dev/null").c_str(), "r");
    if (!pipe) return rows;
    // "[generic]     3454    9626  35.9% -lh5- a9aa Dec  7 23:00 song.mid"
    static const std::regex row(R"((\d+)\s+(\d+)\s+\S+\s+(-[a-z0-9]{3}-)\s+([0-9a-f]{4})\s+\S+\s+\S+\s+\S+\s(.*))");
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::smatch m;
        if (!std::regex_search(text, m, row) || m[3] == "-lhd-") continue;
        rows.push_back({m[3], static_cast<uint32_t>(std::stoul(m[2])), static_cast<uint32_t>(std::stoul(m[4], nullptr, 16)), m[5]});
    }
    pclose(pipe);
    return rows;
}

class LhaComparison : public RealUnlhaTest {
protected:
    void SetUp() override {
        RealUnlhaTest::SetUp();
        if (!HaveLhaCommand()) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    }

    std::vector<ListedMember> OurList(const std::string& archiveDos) {
        std::vector<ListedMember> members;
        HARC harc = Fn().OpenArchive(nullptr, archiveDos.c_str(), 0x00400202);
        if (!harc) return members;
        INDIVIDUALINFO info;
        for (int r = Fn().FindFirst(harc, "*.*", &info); r == 0; r = Fn().FindNext(harc, &info))
            members.push_back({info.szMode, info.dwOriginalSize, info.dwCRC, info.szFileName});
        Fn().CloseArchive(harc);
        return members;
    }

    // Lists and unpacks `archive` (a native path inside dir_) both ways; `expectedNames` are
    // the stored names, `level` the header level of every member.
    void Compare(const std::string& archive, int level, const std::vector<std::string>& expectedNames) {
        SCOPED_TRACE(archive + " (level " + std::to_string(level) + ")");
        const std::string archiveDos = DosPath(archive);
        ASSERT_NE(Fn().CheckArchive(archiveDos.c_str(), 0), 0);
        const auto lhaRows = LhaList(archive);
        const auto ours = OurList(archiveDos);
        ASSERT_EQ(lhaRows.size(), expectedNames.size());
        ASSERT_EQ(ours.size(), expectedNames.size());

        static int serial = 0;
        const std::string tag = std::to_string(++serial);
        const std::string lhaOut = dir_.MakeFolder("lha-" + tag);
        const std::string ourOut = dir_.MakeFolder("ours-" + tag);
        int lhaCode = -1;
        auto lhaFiles = LhaExtractAll(archive, lhaOut, &lhaCode);
        EXPECT_EQ(lhaCode, 0);
        EXPECT_EQ(lhaFiles.size(), expectedNames.size());

        for (size_t i = 0; i < ours.size(); ++i) {
            const ListedMember& our = ours[i];
            const ListedMember& lha = lhaRows[i];
            SCOPED_TRACE("member " + std::to_string(i) + " " + Utf8(expectedNames[i]));
            EXPECT_EQ(our.method, lha.method);
            EXPECT_EQ(our.size, lha.size);
            EXPECT_EQ(our.crc, lha.crc);
            // Our names are the stored bytes. lha's are too, except that at levels 0 and 1 a
            // 0x5C second byte comes out of liblhasa as "/" (and may lose what went before):
            // there lha itself mangles the name, and only the stored bytes can be checked.
            EXPECT_EQ(our.name, expectedNames[i]);
            const bool lhaMangles = level <= 1 && HasSecondByte5C(our.name);
            if (IsAscii(our.name)) {
                EXPECT_EQ(lha.name, our.name);
            }
            if (!lhaMangles) {
                EXPECT_EQ(lhaFiles.count(our.name), 1u) << "lha wrote no file under our name";
            }

            ASSERT_EQ(Extract(archiveDos, DosFolder(ourOut), our.name), 0);
            const std::string unpacked = dir_.Read("ours-" + tag + "/" + Utf8(our.name));
            EXPECT_EQ(unpacked.size(), our.size);
            if (!lhaMangles) {
                EXPECT_TRUE(unpacked == lhaFiles[our.name]) << "contents differ from lha's";
            } else {
                // lha's copy is under its mangled name: the one file of the same length and CRC.
                int same = 0;
                for (const auto& [name, bytes] : lhaFiles)
                    if (bytes.size() == our.size && Crc16Arc(bytes) == our.crc) same += bytes == unpacked ? 1 : 0;
                EXPECT_EQ(same, 1) << "no file of lha's has the same contents";
            }
        }
        EXPECT_EQ(FilesUnder(ourOut).size(), ours.size()) << "files other than the members were left";
    }

    // A committed fixture, copied into the test's folder (whose path is plain ASCII).
    std::string Fixture(const std::string& name) {
        const std::string copy = dir_.Native(name);
        std::filesystem::copy_file(std::string(KYRO_LZH_FIXTURES_DIR) + "/" + name, copy);
        return copy;
    }
};

TEST_F(LhaComparison, JlhaArchivesOfEveryLevelAndMethod) {
    for (const char* method : {"lh5", "lh6", "lh7", "lh4"}) {
        for (int level = 0; level <= 2; ++level) {
            const std::string name = std::string(method) + "-level" + std::to_string(level) + ".lzh";
            Compare(Fixture(name), level, std::string(method) == "lh4" ? kSmallFixtureMembers : kFixtureMembers);
        }
    }
}

// The same members written here: a folder with a CP932 name, a 0x5C second byte, an ASCII
// folder, something large enough to compress.
std::vector<LzhMember> SampleMembers(int level, const std::string& method, std::string (*encode)(const std::string&)) {
    std::vector<LzhMember> members = {
        {"song.mid", "", SampleSong(11, 900), level},
        {level == 0 ? kKyokushu + "\\" + kHyoSo : kHyoSo, level == 0 ? "" : kKyokushu, SampleSong(12, 100), level},
        {level == 0 ? "sub\\notes.txt" : "notes.txt", level == 0 ? "" : "sub", SampleText(13, 2000), level},
    };
    for (auto& m : members) {
        m.method = method;
        m.packed = encode ? encode(m.data) : m.data;
    }
    return members;
}

const std::vector<std::string> kSampleNames = {"song.mid", kKyokushu + "/" + kHyoSo, "sub/notes.txt"};

TEST_F(LhaComparison, HandMadeMethodsAtEveryLevel) {
    struct Method {
        const char* id;
        std::string (*encode)(const std::string&);  // nullptr: stored
    };
    const Method methods[] = {{"-lh0-", nullptr},    {"-lz4-", nullptr},    {"-pm0-", nullptr},
                              {"-lz5-", &EncodeLz5}, {"-lzs-", &EncodeLzs}, {"-lh1-", &EncodeLh1},
                              {"-pm1-", &EncodePm1}, {"-pm2-", &EncodePm2}};
    for (const auto& method : methods) {
        for (int level = 0; level <= 3; ++level) {
            const std::string path = dir_.Native(std::string(method.id + 1, 3) + "-level" + std::to_string(level) + ".lzh");
            ASSERT_TRUE(WriteLzh(path, SampleMembers(level, method.id, method.encode)));
            Compare(path, level, kSampleNames);
        }
    }
}

// The first member of a committed level 2 fixture: its compressed bytes, method and CRC.
struct FirstMember {
    std::string method;
    std::string packed;
    uint16_t crc = 0;
    uint32_t length = 0;
};

FirstMember ReadFirstMember(const std::string& bytes) {
    auto word = [&](size_t at) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8); };
    FirstMember m;
    const size_t headerSize = word(0);
    m.method = bytes.substr(2, 5);
    m.packed = bytes.substr(headerSize, word(7) | word(9) << 16);
    m.length = word(11) | word(13) << 16;
    m.crc = static_cast<uint16_t>(word(21));
    return m;
}

TEST_F(LhaComparison, JlhaStreamsInLevel3Headers) {
    // song.mid (first in lh5/6/7-level2.lzh) and 表ソ.mid (first in lh4-level2.lzh) are the
    // generator's SampleSong(1, 1200) and SampleSong(2, 200).
    const std::pair<const char*, std::string> sources[] = {
        {"lh5-level2.lzh", SampleSong(1, 1200)}, {"lh6-level2.lzh", SampleSong(1, 1200)},
        {"lh7-level2.lzh", SampleSong(1, 1200)}, {"lh4-level2.lzh", SampleSong(2, 200)}};
    for (const auto& [fixture, data] : sources) {
        Fixture(fixture);
        const FirstMember first = ReadFirstMember(dir_.Read(fixture));
        ASSERT_EQ(first.length, data.size()) << fixture;
        ASSERT_EQ(first.crc, Crc16Arc(data)) << fixture;
        LzhMember m{"song.mid", kKyokushu, data, 3};
        m.method = first.method;
        m.packed = first.packed;
        LzhMember plain{"plain.txt", "", SampleText(3, 500), 3};
        const std::string path = dir_.Native(std::string("l3-") + fixture);
        ASSERT_TRUE(WriteLzh(path, {m, plain}));
        Compare(path, 3, {kKyokushu + "/song.mid", "plain.txt"});
    }
}

TEST_F(LhaComparison, ProgramsFormOfAFolderMemberUnpacksBelowTheOutputFolder) {
    // The program lists 曲集/ソング.mid as ソング.mid and asks for that: it is written as
    // OUT/ソング.mid, the folder dropped as the program expects.
    const std::string archive = DosPath(Fixture("lh7-level1.lzh"));
    dir_.MakeFolder("out");
    EXPECT_EQ(Extract(archive, DosFolder(dir_.Native("out")), "\x83\x5C\x83\x93\x83\x4F.mid"), 0);
    EXPECT_EQ(dir_.Read("out/ソング.mid"), SampleSong(3, 150));
    EXPECT_EQ(Extract(archive, DosFolder(dir_.Native("out")), "inner.mid"), 0);
    EXPECT_EQ(dir_.Read("out/inner.mid"), SampleSong(4, 120));
    EXPECT_EQ(dir_.Entries("out"), (std::vector<std::string>{"inner.mid", "ソング.mid"}));
}

}  // namespace
}  // namespace kyro::test
