#include "platform/profile.h"

#include "platformtesthelpers.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

namespace kyro {
namespace {

using test::TempFolder;

// A settings file as people leave them: comments, blank lines, odd spacing, several sections.
const std::string kSettings =
    "; Kyrotune settings\r\n"
    "\r\n"
    "[KYRO32]\r\n"
    "ListMode=2\r\n"
    "  GroupSel = 511  \r\n"
    "; the folder for unpacked songs\r\n"
    "TempFolder=C:\\TEMP\\\r\n"
    "\r\n"
    "[Drives]\r\n"
    "D=/mnt/midi\r\n"
    "\r\n";

class ProfileTest : public ::testing::Test {
protected:
    std::string Path() const { return temp.Native("KYRO32.INI"); }
    TempFolder temp;
};

TEST_F(ProfileTest, ReadsWithoutRegardToCaseAndTrimsValues) {
    temp.Write("KYRO32.INI", kSettings);
    const Profile p(Path());
    EXPECT_TRUE(p.Loaded());
    EXPECT_EQ(p.Value("kyro32", "groupsel"), "511");
    EXPECT_EQ(p.Value("KYRO32", "TEMPFOLDER"), "C:\\TEMP\\");
    EXPECT_EQ(p.Value("drives", "d"), "/mnt/midi");
    EXPECT_EQ(p.Value("KYRO32", "D"), std::nullopt);  // in another section
    EXPECT_EQ(p.Value("KYRO32", "; the folder for unpacked songs"), std::nullopt);
    EXPECT_EQ(p.Value("Missing", "ListMode"), std::nullopt);
    EXPECT_EQ(p.ReadString("KYRO32", "Nothing", "def"), "def");
    EXPECT_EQ(p.Keys("kyro32"), (std::vector<std::string>{"ListMode", "GroupSel", "TempFolder"}));
}

TEST_F(ProfileTest, ReadsLfFilesAndIgnoresKeysOutsideSections) {
    temp.Write("KYRO32.INI", "Stray=1\n[A]\nkey=value\nempty=\n=nokey\nnoequals\n[a]\nkey=second section\n");
    const Profile p(Path());
    EXPECT_EQ(p.Value("A", "key"), "value");
    EXPECT_EQ(p.Value("A", "empty"), "");
    EXPECT_EQ(p.Value("A", "Stray"), std::nullopt);
    EXPECT_EQ(p.Keys("A"), (std::vector<std::string>{"key", "empty"}));
}

TEST_F(ProfileTest, TheFirstOfDuplicateKeysIsReadAndWritten) {
    temp.Write("KYRO32.INI", "[A]\r\nKey=first\r\nKEY=second\r\n");
    Profile p(Path());
    EXPECT_EQ(p.Value("A", "key"), "first");
    EXPECT_EQ(p.Keys("A"), std::vector<std::string>{"Key"});
    p.Write("A", "key", "changed");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(temp.Read("KYRO32.INI"), "[A]\r\nKey=changed\r\nKEY=second\r\n");
}

TEST_F(ProfileTest, Cp932NamesFoldOnlySingleByteLetters) {
    // "ア" is 83 41 and "ヂ" is 83 61: folding the second byte would make them one name.
    temp.Write("KYRO32.INI", "[\x83\x41]\r\nk=\x83\x5C\r\n");
    const Profile p(Path());
    EXPECT_EQ(p.Value("\x83\x41", "K"), "\x83\x5C");
    EXPECT_EQ(p.Value("\x83\x61", "k"), std::nullopt);
}

TEST_F(ProfileTest, AKeyEndingInALoneLeadByteIsFoundAndRewritten) {
    // 0x95 is the first byte of "表"; in a damaged file the "=" follows it at once.
    temp.Write("KYRO32.INI", "[A]\r\nKey\x95=1\r\n");
    Profile p(Path());
    EXPECT_EQ(p.Keys("A"), std::vector<std::string>{"Key\x95"});
    EXPECT_EQ(p.Value("a", "KEY\x95"), "1");
    p.Write("A", "Key\x95", "2");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(temp.Read("KYRO32.INI"), "[A]\r\nKey\x95=2\r\n");
}

struct IntCase {
    const char* value;
    int expected;
};

class ProfileReadInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileReadInt, FollowsTheNumberRules) {
    TempFolder temp;
    temp.Write("a.ini", std::string("[S]\r\nN=") + GetParam().value + "\r\n");
    EXPECT_EQ(Profile(temp.Native("a.ini")).ReadInt("S", "N", -77), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileReadInt,
                         ::testing::Values(IntCase{"12abc", 12}, IntCase{"abc", -77}, IntCase{"", -77},
                                           IntCase{"  7  ", 7}, IntCase{"-5", -5}, IntCase{"+5", 5},
                                           IntCase{"-", -77}, IntCase{"- 5", -77}, IntCase{"0x1FF", 0},
                                           IntCase{"2147483647", INT_MAX}, IntCase{"2147483648", -77},
                                           IntCase{"-2147483648", INT_MIN}, IntCase{"-2147483649", -77},
                                           IntCase{"99999999999999999999999", -77}, IntCase{"007", 7}));

TEST_F(ProfileTest, AMissingKeyReadsAsTheDefaultInteger) {
    temp.Write("KYRO32.INI", kSettings);
    EXPECT_EQ(Profile(Path()).ReadInt("KYRO32", "Seconds", 30), 30);
    EXPECT_EQ(Profile(Path()).ReadInt("KYRO32", "GroupSel", 0), 511);
}

TEST_F(ProfileTest, WritingAKeyKeepsEveryOtherByte) {
    temp.Write("KYRO32.INI", kSettings);
    Profile p(Path());
    p.WriteInt("kyro32", "groupsel", 3);
    ASSERT_TRUE(p.Save());
    std::string expected = kSettings;
    expected.replace(expected.find("  GroupSel = 511  "), 18, "GroupSel=3");
    EXPECT_EQ(temp.Read("KYRO32.INI"), expected);
}

TEST_F(ProfileTest, ANewKeyGoesAfterTheLastKeyOfItsSection) {
    temp.Write("KYRO32.INI", kSettings);
    Profile p(Path());
    p.Write("KYRO32", "Seconds", "10");
    p.Write("drives", "E", "/e");
    ASSERT_TRUE(p.Save());
    std::string expected = kSettings;
    expected.insert(expected.find("TempFolder=C:\\TEMP\\\r\n") + 21, "Seconds=10\r\n");
    expected.insert(expected.find("D=/mnt/midi\r\n") + 13, "E=/e\r\n");
    EXPECT_EQ(temp.Read("KYRO32.INI"), expected);
    EXPECT_EQ(Profile(Path()).Value("KYRO32", "Seconds"), "10");
}

TEST_F(ProfileTest, ANewSectionIsAppended) {
    temp.Write("KYRO32.INI", "[A]\nx=1");  // LF line ends, no final line end
    Profile p(Path());
    p.Write("B", "y", "2");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(temp.Read("KYRO32.INI"), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");

    Profile empty(temp.Native("new.ini"));
    EXPECT_FALSE(empty.Loaded());
    empty.Write("S", "k", "v");
    empty.Write("S", "k2", "v2");
    ASSERT_TRUE(empty.Save());
    EXPECT_EQ(temp.Read("new.ini"), "[S]\r\nk=v\r\nk2=v2\r\n");
    empty.Write("S", "k", "w");
    ASSERT_TRUE(empty.Save());  // a second save of the same object
    EXPECT_EQ(temp.Read("new.ini"), "[S]\r\nk=w\r\nk2=v2\r\n");
}

TEST_F(ProfileTest, ValuesAreBytesAndLineBreaksCannotSplitTheFile) {
    Profile p(Path());
    p.Write("S", "Group1", "\x83\x5C\x83\x74\x83\x67");  // "ソフト"
    p.Write("S", "Bad", "first\r\n[Injected]\r\nx=1");
    p.Write("S", "a=b", "refused");
    p.Write("S", "", "refused");
    p.Write("S]", "k", "refused");
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(temp.Read("KYRO32.INI"), "[S]\r\nGroup1=\x83\x5C\x83\x74\x83\x67\r\nBad=first\r\n");
}

TEST_F(ProfileTest, OneShotHelpers) {
    EXPECT_EQ(ReadProfileString(Path(), "S", "k", "none"), "none");
    EXPECT_EQ(ReadProfileInt(Path(), "S", "n", 5), 5);
    ASSERT_TRUE(WriteProfileString(Path(), "S", "k", "text"));
    ASSERT_TRUE(WriteProfileInt(Path(), "S", "n", -12));
    EXPECT_EQ(ReadProfileString(Path(), "s", "K", "none"), "text");
    EXPECT_EQ(ReadProfileInt(Path(), "s", "N", 5), -12);
}

TEST_F(ProfileTest, FailedWriteLeavesTheOldFile) {
    temp.Write("KYRO32.INI", kSettings);
    {
        test::FileSizeLimit limit(kSettings.size());  // the longer file does not fit
        EXPECT_FALSE(WriteProfileString(Path(), "KYRO32", "TempFolder", "C:\\A\\MUCH\\LONGER\\FOLDER\\"));
    }
    EXPECT_EQ(temp.Read("KYRO32.INI"), kSettings);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp.Native()), {}), 1);

    EXPECT_FALSE(WriteProfileString(temp.Native("missing/KYRO32.INI"), "S", "k", "v"));
}

TEST_F(ProfileTest, AReadOnlyFolderLeavesTheOldFile) {
    temp.Write("ro/KYRO32.INI", kSettings);
    ::chmod(temp.Native("ro").c_str(), 0555);
    if (::access(temp.Native("ro").c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_FALSE(WriteProfileInt(temp.Native("ro/KYRO32.INI"), "KYRO32", "ListMode", 1));
    EXPECT_EQ(temp.Read("ro/KYRO32.INI"), kSettings);
}

TEST_F(ProfileTest, AFileThatCannotBeReadIsEmptyAndNeverReplaced) {
    // A folder where the file should be: there, but not readable as a file.
    std::filesystem::create_directory(Path());
    Profile p(Path());
    EXPECT_FALSE(p.Loaded());
    EXPECT_EQ(p.ReadInt("KYRO32", "ListMode", 4), 4);
    p.Write("KYRO32", "ListMode", "1");
    EXPECT_FALSE(p.Save());
    EXPECT_TRUE(std::filesystem::is_directory(Path()));
}

}  // namespace
}  // namespace kyro
