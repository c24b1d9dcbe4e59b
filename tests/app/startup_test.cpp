// The main window's start-up: the messages it shows, in order, and when it ends the program.
#include "app/tfmmid.h"
#include "library/listfiles.h"
#include "support/gonepid.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

const QString kMsgNoMid = QStringLiteral("拡張子「MID」を演奏出来ません。");
const QString kMsgNoRcp = QStringLiteral("拡張子「RCP」を演奏出来ません。");
const QString kMsgNoGM = QStringLiteral("GM.MID が見つかりません。\nGM-SYSTEM-ON を行いません。");
const QString kMsgNo88Pro = QStringLiteral("88Pro.MID が見つかりません。\nGS/88ProMAP を行いません。");
const QString kMsgNo88Map = QStringLiteral("88MAP.MID が見つかりません。\nGS/88MAP を行いません。");
const QString kMsgNo55Map = QStringLiteral("55MAP.MID が見つかりません。\nGS/55MAP を行いません。");
const QString kMsgNoLibrary = QStringLiteral("UNLHA32.DLLがロードできません。\nLZH内のﾌｧｲﾙは演奏できません。");
const QString kMsgNoSong = QStringLiteral("演奏する曲がありません。");
const QString kMsgNoMemory = QStringLiteral("リストを読み込む為のメモリを確保出来ませんでした。\n終了します。");

class StartupTest : public ::testing::Test {
protected:
    AppContext Context(bool withLibrary) const {
        AppContext context;
        context.programFolderNative = folder.Native();
        context.exeFolderNative = withLibrary ? KYRO_UNLHA32_DIR : folder.Native();
        context.env.vars["TEMP"] = folder.Native();
        return context;
    }
    void WriteIni(const std::string& body) const { folder.Write("KYRO32.INI", body); }
    void WriteResetFiles() const {
        for (const char* name : {"GM.MID", "88Pro.MID", "88MAP.MID", "55MAP.MID"}) folder.Write(name, "MThd");
    }

    test::TempFolder folder;
    test::MessageRecorder messages;
};

TEST_F(StartupTest, EmptyFolderShowsResetFilesInOrderThenLibrary) {
    TfmMid mid(Context(false));
    // The empty list leaves no song to show: that warning comes last, from the first queue build.
    std::vector<QString> expected{kMsgNoGM, kMsgNo88Pro, kMsgNo88Map, kMsgNo55Map, kMsgNoLibrary, kMsgNoSong};
    EXPECT_EQ(messages.Texts(), expected);
    for (const auto& m : messages.Messages()) {
        EXPECT_EQ(m.icon, m.text == kMsgNoSong ? MessageIcon::Exclamation : MessageIcon::Information);
        EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
    EXPECT_FALSE(mid.QuitRequested());
    EXPECT_EQ(mid.State(), PlayerState::Stopped);
    EXPECT_TRUE(mid.ListEmpty());
    EXPECT_TRUE(mid.RcpPlayable());
    EXPECT_FALSE(mid.ArchiveAvailable());
    EXPECT_FALSE(mid.HasGM() || mid.Has88Pro() || mid.Has88Map() || mid.Has55Map());
}

// Each kill during a save used to leave its temporary file for good.
TEST_F(StartupTest, TemporaryFilesOfAKilledRunAreRemoved) {
    const std::string leftover = std::string(".") + kTitleFileName + "." + std::to_string(test::GonePid()) + "-7.tmp";
    folder.Write(leftover, "half a title file");
    TfmMid mid(Context(false));
    EXPECT_FALSE(folder.Exists(leftover));
}

TEST_F(StartupTest, ResetFilesPresentLibraryLoadedAndRcpLeftOutOfTheTypes) {
    WriteResetFiles();
    WriteIni("[MIDI]\r\nTypes=mid\r\n");
    TfmMid mid(Context(true));
    EXPECT_EQ(messages.Texts(), (std::vector<QString>{kMsgNoRcp, kMsgNoSong}));
    EXPECT_FALSE(mid.RcpPlayable());
    EXPECT_TRUE(mid.HasGM() && mid.Has88Pro() && mid.Has88Map() && mid.Has55Map());
    ASSERT_TRUE(mid.ArchiveAvailable());
    EXPECT_GE(mid.Archive()->Functions().GetVersion(), 40);
}

TEST_F(StartupTest, EachWarningBitGuardsItsOwnMessage) {
    // 0x0040 (88MAP) and 0x0010 (library) only.
    WriteIni("[KYRO32]\r\nWarningMsg=80\r\n");
    TfmMid mid(Context(false));
    EXPECT_EQ(messages.Texts(), (std::vector<QString>{kMsgNo88Map, kMsgNoLibrary}));
}

TEST_F(StartupTest, WarningMsgZeroShowsNothing) {
    WriteIni("[KYRO32]\r\nWarningMsg=0\r\n");
    TfmMid mid(Context(false));
    EXPECT_TRUE(messages.Texts().empty());
    EXPECT_FALSE(mid.QuitRequested());
}

TEST_F(StartupTest, NoMidPlaybackStopsStartupWithExitCodeOne) {
    WriteIni("[KYRO32]\r\nWarningMsg=0\r\n[MIDI]\r\nTypes=\r\n");
    TfmMid mid(Context(false));
    ASSERT_EQ(messages.Messages().size(), 1u);  // shown even with every warning off; nothing after it
    EXPECT_EQ(messages.Messages()[0].text, kMsgNoMid);
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(mid.QuitRequested());
    EXPECT_EQ(mid.ExitCode(), 1);
    EXPECT_FALSE(mid.ArchiveAvailable());
}

TEST_F(StartupTest, NoMemoryForTheListEndsAtOnce) {
    AppContext context = Context(true);
    context.lineBufferBytes = static_cast<std::size_t>(-1) / 2;
    TfmMid mid(context);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, kMsgNoMemory);
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Stop);
    EXPECT_TRUE(mid.QuitRequested());
    EXPECT_EQ(mid.ExitCode(), 1);
}

TEST_F(StartupTest, CancelOnInvalidLineRequestsTheEndButStartupGoesOn) {
    WriteResetFiles();
    folder.Write("KYROList.dat", "0D:\\OK.MID\r\n1relative.mid\r\n0D:\\LATER.MID\r\n");
    WriteIni("[MIDI]\r\nTypes=mid\r\n");  // so that a warning follows the question
    messages.Answer(ModalResult::Cancel);
    TfmMid mid(Context(true));
    ASSERT_GE(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[0].icon, MessageIcon::Question);
    EXPECT_EQ(messages.Messages()[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(messages.Messages()[1].text, kMsgNoRcp);  // the rest of start-up still ran
    EXPECT_TRUE(mid.QuitRequested());
    EXPECT_EQ(mid.ExitCode(), 0);
    ASSERT_EQ(mid.Songs().groups[0].Count(), 1);  // what was read before Cancel stays
    EXPECT_EQ(mid.Songs().groups[0].Path(0), "D:\\OK.MID");
    EXPECT_FALSE(mid.ListEmpty());
}

TEST_F(StartupTest, SettingsAndGroupNamesAreInForce) {
    WriteIni("[KYRO32]\r\nWarningMsg=0\r\nListRandomType=3\r\nGroupRandomType=-1\r\nGroup2=Piano\r\n");
    TfmMid mid(Context(false));
    EXPECT_EQ(mid.SettingsInForce().listRandomType, 3);
    EXPECT_EQ(mid.SettingsInForce().groupRandomType, -1);
    EXPECT_EQ(mid.Songs().groupNames[0], "Group1");
    EXPECT_EQ(mid.Songs().groupNames[1], "Piano");
    EXPECT_EQ(mid.ProgramFolder(), folder.Dos());
    EXPECT_EQ(mid.TempFolder(), folder.Dos());
}

// A library that lacks a function the program needs is named in the message, which is shown
// whenever any warning is on, whatever its bits.
TEST_F(StartupTest, LibraryMissingAFunctionIsNamedWheneverWarningsAreOn) {
    const std::string kVersionAdvice =
        "\nUNLHA32.DLL の Version を確認して下さい。\n\nこのアプリケーションは Version 0.40 以上推奨です。";
    const std::pair<std::string, std::string> fakes[] = {
        {KYRO_FAKE_NOQUERY, "ISARC_QUERY_FUNCTION_LIST"},
        {KYRO_FAKE_REFUSE23, "ISARC_OPEN_ARCHIVE"},
    };
    WriteResetFiles();
    WriteIni("[KYRO32]\r\nWarningMsg=8\r\n");  // not the library's bit, and silent at start-up
    for (const auto& [file, failureName] : fakes) {
        test::MessageRecorder recorder;
        AppContext context = Context(false);
        auto slash = file.rfind('/');
        context.exeFolderNative = file.substr(0, slash);
        context.archiveLibraryFile = file.substr(slash + 1);
        TfmMid mid(context);
        ASSERT_EQ(recorder.Messages().size(), 1u) << failureName;
        EXPECT_EQ(recorder.Messages()[0].text, QString::fromStdString(failureName + kVersionAdvice));
        EXPECT_EQ(recorder.Messages()[0].icon, MessageIcon::Information);
        EXPECT_FALSE(mid.ArchiveAvailable());
    }
    WriteIni("[KYRO32]\r\nWarningMsg=0\r\n");
    test::MessageRecorder silent;
    AppContext context = Context(false);
    std::string file = KYRO_FAKE_NOQUERY;
    context.exeFolderNative = file.substr(0, file.rfind('/'));
    context.archiveLibraryFile = file.substr(file.rfind('/') + 1);
    TfmMid mid(context);
    EXPECT_TRUE(silent.Messages().empty());
}

}  // namespace
}  // namespace kyro
