// The fixture writer makes archives that an independent reader (the lha command) accepts, so
// that the library's tests rest on valid files.

#include "lzhwriter.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace kyro::test {
namespace {

const char kHyoSo[] = "\x95\x5C\x83\x5C.mid";  // 表ソ.mid: both second bytes are 0x5C

int LhaTest(const std::string& archive) {
    std::string command = "/usr/bin/lha t '" + archive + "' >/dev/null 2>&1";
    return std::system(command.c_str());
}

TEST(LzhWriter, Crc16ArcCheckValue) {
    EXPECT_EQ(Crc16Arc("123456789"), 0xBB3D);
    EXPECT_EQ(Crc16Arc(""), 0);
}

TEST(LzhWriter, EveryHeaderLevelPassesLhaTest) {
    if (!std::filesystem::exists("/usr/bin/lha")) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    TempFolder dir;
    for (int level = 0; level <= 2; ++level) {
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
    if (!std::filesystem::exists("/usr/bin/lha")) GTEST_SKIP() << "the lha command (package lhasa) is not installed";
    TempFolder dir;
    ASSERT_TRUE(WriteLzh(dir.Native("bad.lzh"), {{"bad.mid", "", "data", 0, true}}));
    EXPECT_NE(LhaTest(dir.Native("bad.lzh")), 0);
}

}  // namespace
}  // namespace kyro::test
