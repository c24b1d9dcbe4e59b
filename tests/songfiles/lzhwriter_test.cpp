// The fixture writer makes archives that an independent reader (the lha command) accepts, so
// that the library's tests rest on valid files.

#include "lhacommand.h"
#include "lzhencoders.h"
#include "lzhwriter.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro::test {
namespace {

const char kHyoSo[] = "\x95\x5C\x83\x5C.mid";  // 表ソ.mid: both second bytes are 0x5C

TEST(LzhWriter, Crc16ArcCheckValue) {
    EXPECT_EQ(Crc16Arc("123456789"), 0xBB3D);
    EXPECT_EQ(Crc16Arc(""), 0);
}

TEST(LzhWriter, EveryHeaderLevelPassesLhaTest) {
    if (!HaveLhaCommand()) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    TempFolder dir;
    for (int level = 0; level <= 3; ++level) {
        std::vector<LzhMember> members = {
            {"plain.mid", "", "MThd plain", level},
            {level == 0 ? std::string("sub\\") + kHyoSo : std::string(kHyoSo), level == 0 ? "" : "sub", "cp932", level},
            {"my song.mid", "", std::string(3000, 'x'), level},
        };
        if (level > 0) members.push_back({"", "folder only", "", level, false, true});
        const std::string path = dir.Native("level" + std::to_string(level) + ".lzh");
        ASSERT_TRUE(WriteLzh(path, members));
        EXPECT_EQ(LhaTest(path), 0) << "level " << level;
    }
}

TEST(LzhWriter, DamagedCrcFailsLhaTest) {
    if (!HaveLhaCommand()) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    TempFolder dir;
    ASSERT_TRUE(WriteLzh(dir.Native("bad.lzh"), {{"bad.mid", "", "data", 0, true}}));
    EXPECT_NE(LhaTest(dir.Native("bad.lzh")), 0);
}

TEST(LzhWriter, SampleSongIsTheFixtureGeneratorsSong) {
    // song.mid of tests/fixtures/lzh (python's generator): 9626 bytes, CRC a9aa as lha lists it.
    const std::string song = SampleSong(1, 1200);
    EXPECT_EQ(song.size(), 9626u);
    EXPECT_EQ(Crc16Arc(song), 0xA9AA);
    EXPECT_EQ(song.substr(0, 4), "MThd");
}

struct HandMadeMethod {
    const char* id;
    std::string (*encode)(const std::string&);
};

const HandMadeMethod kHandMadeMethods[] = {
    {"-lz5-", &EncodeLz5}, {"-lzs-", &EncodeLzs}, {"-lh1-", &EncodeLh1}, {"-pm1-", &EncodePm1}, {"-pm2-", &EncodePm2},
};

// Each compressor on data that exercises its copies, its literal ranges and its long-stream
// states (-lh1- rebuilds its tree after 32 K codes, -pm2- and -pm1- change their bit layouts
// after 64 bytes to 8 KB), checked by lha at every header level.
TEST(LzhEncoders, EveryHandMadeStreamPassesLhaTest) {
    if (!HaveLhaCommand()) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    TempFolder dir;
    std::string binary;
    for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7919) >> (i % 5) & 0xFF);
    const std::vector<std::pair<std::string, std::string>> contents = {
        {"song.mid", SampleSong(5, 1500)},
        {"text.txt", SampleText(6, 60000)},
        {"bytes.bin", binary},
        {"one.bin", "x"},
        {"zeros.bin", std::string(5000, '\0')},
    };
    for (const auto& method : kHandMadeMethods) {
        for (int level = 0; level <= 3; ++level) {
            std::vector<LzhMember> members;
            for (const auto& [name, data] : contents) {
                LzhMember m{name, "", data, level};
                m.method = method.id;
                m.packed = method.encode(data);
                EXPECT_LT(m.packed.size(), data.size() * 9 / 8 + 16) << method.id << " " << name;
                members.push_back(m);
            }
            const std::string path = dir.Native(std::string(method.id + 1, 3) + "-" + std::to_string(level) + ".lzh");
            ASSERT_TRUE(WriteLzh(path, members));
            EXPECT_EQ(LhaTest(path), 0) << method.id << " level " << level;
            const std::string out = dir.MakeFolder(std::string(method.id + 1, 3) + "-" + std::to_string(level));
            auto files = LhaExtractAll(path, out);
            for (const auto& [name, data] : contents) EXPECT_TRUE(files[name] == data) << method.id << " " << name << " level " << level;
        }
    }
}

TEST(LzhEncoders, RepetitiveDataReallyCompresses) {
    const std::string song = SampleSong(7, 2000);
    for (const auto& method : kHandMadeMethods) EXPECT_LT(method.encode(song).size(), song.size() * 3 / 4) << method.id;
}

}  // namespace
}  // namespace kyro::test
