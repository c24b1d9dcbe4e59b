#include "library/settings.h"

#include "platform/filesystem.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace kyro {
namespace {

using test::MessageRecorder;
using test::TempFolder;

class SettingsTest : public ::testing::Test {
protected:
    void WriteIni(const std::string& body) const { program.Write(kSettingsFileName, "[KYRO32]\r\n" + body); }
    Settings Read() const { return ReadStartupSettings(program.Dos(), env); }

    TempFolder program;
    TempFolder temp;
    StartupEnvironment env{{{"TEMP", temp.Native()}}};
    MessageRecorder messages;
};

TEST_F(SettingsTest, DefaultsWithoutAFile) {
    Settings s = Read();
    EXPECT_EQ(s.listRandomType, 0);
    EXPECT_EQ(s.groupRandomType, 0);
    EXPECT_EQ(s.unlhaBusy, 0);
    EXPECT_EQ(s.autoStart, 0);
    EXPECT_EQ(s.warningMsg, 0x2FFF);
    EXPECT_EQ(s.listNumber, 0);
    EXPECT_EQ(s.groupSel, 0x1FF);
    EXPECT_EQ(s.tempFolder, temp.Dos());
    EXPECT_EQ(s.groupNames[0], "Group1");
    EXPECT_EQ(s.groupNames[8], "Group9");
    EXPECT_FALSE(program.Exists(kSettingsFileName));  // start-up never creates the file
}

TEST_F(SettingsTest, DefaultTempFolderOrder) {
    const std::string prog = program.Dos();
    EXPECT_EQ(DefaultTempFolder({{{"TEMP", "C:\\WORK"}, {"TMP", "/var"}}}, prog), "C:\\WORK\\");
    EXPECT_EQ(DefaultTempFolder({{{"TEMP", ""}, {"TMP", temp.Native()}}}, prog), temp.Dos());
    EXPECT_EQ(DefaultTempFolder({{{"TMPDIR", temp.Native() + "/"}}}, prog), temp.Dos());
    EXPECT_EQ(DefaultTempFolder({}, prog), *DosPath("/tmp") + "\\");
}

TEST_F(SettingsTest, ValuesAreRead) {
    WriteIni("ListRandomType=3\r\nGroupRandomType=-1\r\nUnlhaBusy=15\r\nAutoStart=10\r\nWarningMsg=0\r\n"
             "ListNumber=7\r\nGroupSel=5\r\nGroup3=  Third  \r\n");
    Settings s = Read();
    EXPECT_EQ(s.listRandomType, 3);
    EXPECT_EQ(s.groupRandomType, -1);
    EXPECT_EQ(s.unlhaBusy, 15);
    EXPECT_EQ(s.autoStart, 10);
    EXPECT_EQ(s.warningMsg, 0);
    EXPECT_EQ(s.listNumber, 7);
    EXPECT_EQ(s.groupSel, 5);
    EXPECT_EQ(s.groupNames[2], "Third");
    EXPECT_EQ(s.groupNames[3], "Group4");
}

TEST_F(SettingsTest, NonNumberReadsAsDefault) {
    WriteIni("WarningMsg=abc\r\nGroupSel=\r\nAutoStart=x5\r\n");
    Settings s = Read();
    EXPECT_EQ(s.warningMsg, kDefaultWarningMsg);
    EXPECT_EQ(s.groupSel, kAllGroups);
    EXPECT_EQ(s.autoStart, 0);
}

TEST_F(SettingsTest, OnlyTheOlderVersionsFileEnablesGroup1Only) {
    program.Write("kyro.INI", "[KYRO]\r\n");
    EXPECT_EQ(Read().groupSel, 1);
}

TEST_F(SettingsTest, OlderFileBesideACurrentOneOfAnyCaseChangesNothing) {
    program.Write("KYRO.ini", "");
    program.Write("kyro32.ini", "[kyro32]\r\nGroupSel=6\r\n");
    EXPECT_EQ(Read().groupSel, 6);
}

TEST_F(SettingsTest, TempFolderGetsItsTrailingBackslash) {
    std::filesystem::create_directory(temp.Native("work"));
    WriteIni("TempFolder=" + temp.Dos() + "work\r\n");
    EXPECT_EQ(Read().tempFolder, temp.Dos() + "work\\");
}

TEST_F(SettingsTest, UnusableTempFolderFallsBackWithoutWritingBack) {
    program.Write("afile", "x");
    for (const std::string& bad : {temp.Dos() + "missing\\", program.Dos() + "afile\\sub", std::string("Q:\\NOWHERE\\")}) {
        const std::string ini = "[KYRO32]\r\nTempFolder=" + bad + "\r\n";
        program.Write(kSettingsFileName, ini);
        EXPECT_EQ(Read().tempFolder, temp.Dos()) << bad;
        EXPECT_EQ(program.Read(kSettingsFileName), ini);
    }
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SettingsTest, GroupNamesAreCutTo60BytesOnACharacterBoundary) {
    const std::string straddling = std::string(59, 'A') + "\x82\xa0" + std::string(19, 'B');  // "あ" at bytes 60-61
    const std::string fitting = std::string(58, 'A') + "\x82\xa0" + std::string(20, 'B');
    ASSERT_EQ(straddling.size(), 80u);
    WriteIni("Group1=" + straddling + "\r\nGroup2=" + fitting + "\r\nGroup3=" + std::string(300, 'C') + "\r\n");
    Settings s = Read();
    EXPECT_EQ(s.groupNames[0], std::string(59, 'A'));
    EXPECT_EQ(s.groupNames[1], std::string(58, 'A') + "\x82\xa0");
    EXPECT_EQ(s.groupNames[2], std::string(60, 'C'));
}

TEST_F(SettingsTest, WindowPositionBounds) {
    const ScreenSize screen{800, 600};
    auto readAfterWrite = [&](int x, int y) {
        EXPECT_TRUE(WriteWindowPosition(program.Dos(), "TitlePosX", "TitlePosY", {x, y}));
        WindowPosition p = ReadWindowPosition(program.Dos(), "TitlePosX", "TitlePosY", screen);
        return std::pair(p.x, p.y);
    };
    EXPECT_EQ(readAfterWrite(784, 600), std::pair(784, 600));
    EXPECT_EQ(readAfterWrite(785, 10), std::pair(0, 0));
    EXPECT_EQ(readAfterWrite(10, 601), std::pair(0, 0));
    EXPECT_EQ(readAfterWrite(-1, 10), std::pair(0, 0));
    EXPECT_EQ(readAfterWrite(10, -1), std::pair(0, 0));
    WindowPosition none = ReadWindowPosition(program.Dos(), "FilePosX", "FilePosY", screen);
    EXPECT_EQ(std::pair(none.x, none.y), std::pair(0, 0));
}

TEST(IsFolderWritableTest, AnswersAndLeavesNothingBehind) {
    TempFolder tf;
    EXPECT_TRUE(IsFolderWritable(tf.Dos()));
    EXPECT_TRUE(std::filesystem::is_empty(tf.Native()));
    EXPECT_FALSE(IsFolderWritable(tf.Dos() + "missing\\"));
    tf.Write("file", "x");
    EXPECT_FALSE(IsFolderWritable(tf.Dos() + "file\\"));
    EXPECT_FALSE(IsFolderWritable(""));
}

// Opening the probe with truncation would destroy a user's own file of that name.
TEST(IsFolderWritableTest, ExistingProbeFileIsLeftByteIdentical) {
    TempFolder tf;
    tf.Write("TempTemp.tmp", "precious");
    EXPECT_TRUE(IsFolderWritable(tf.Dos()));
    EXPECT_EQ(tf.Read("TempTemp.tmp"), "precious");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tf.Native()), {}), 1);
}

TEST_F(SettingsTest, WritersKeepOtherKeysAndComments) {
    const std::string before = "; my comment\r\n[Drives]\r\nD=/mnt/midi\r\n[KYRO32]\r\nTitlePosX=5\r\nWarningMsg=1\r\n";
    program.Write(kSettingsFileName, before);
    Settings s;
    s.listRandomType = 2;
    s.groupRandomType = -1;
    s.warningMsg = 0x10;
    s.tempFolder = "C:\\WORK\\";
    ASSERT_TRUE(WriteSystemSettings(program.Dos(), s));

    const std::string after = program.Read(kSettingsFileName);
    EXPECT_EQ(after.rfind("; my comment\r\n[Drives]\r\nD=/mnt/midi\r\n[KYRO32]\r\nTitlePosX=5\r\nWarningMsg=16\r\n", 0), 0u)
        << after;
    // New keys are appended in the writer's order.
    std::size_t p1 = after.find("ListRandomType=2"), p2 = after.find("GroupRandomType=-1"),
                p3 = after.find("ListNumber=0"), p4 = after.find("TempFolder=C:\\WORK\\");
    EXPECT_TRUE(p1 < p2 && p2 < p3 && p3 < p4 && p4 != std::string::npos) << after;
    Settings back = Read();
    EXPECT_EQ(back.groupRandomType, -1);
    EXPECT_EQ(back.warningMsg, 0x10);
}

TEST_F(SettingsTest, ListSaveWritesNoTempFolder) {
    Settings s;
    s.tempFolder = "C:\\WORK\\";
    s.autoStart = 20;
    ASSERT_TRUE(WriteListSaveSettings(program.Dos(), s));
    const std::string after = program.Read(kSettingsFileName);
    EXPECT_EQ(after.find("TempFolder"), std::string::npos);
    EXPECT_NE(after.find("AutoStart=20"), std::string::npos);
}

TEST_F(SettingsTest, GroupSettingsRoundTrip) {
    std::array<std::string, 9> names;
    for (int g = 0; g < 9; ++g) names[g] = "\x83\x5c" + std::to_string(g);
    ASSERT_TRUE(WriteGroupSettings(program.Dos(), names, 0x101));
    Settings s = Read();
    EXPECT_EQ(s.groupNames, names);
    EXPECT_EQ(s.groupSel, 0x101);
    const std::string after = program.Read(kSettingsFileName);
    EXPECT_LT(after.find("Group9="), after.find("GroupSel="));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(SettingsTest, FailedGroupSelWriteIsReported) {
    std::filesystem::create_directory(program.Native(kSettingsFileName));  // cannot be replaced, even by root
    EXPECT_FALSE(WriteGroupSettings(program.Dos(), {}, 1));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, QString::fromUtf8("演奏対象の保存に失敗しました。"));
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace kyro
