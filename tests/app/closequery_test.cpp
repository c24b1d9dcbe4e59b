// Closing the main window: the play order goes to KYROSTAT.dat and the titles to KYROTitl.dat,
// whether the close comes from BYE, the window's close box or a right double-click on the tray.
#include "app/resumestate.h"
#include "app/tfmmid.h"
#include "app/trayicon.h"
#include "library/listfiles.h"
#include "platform/cp932.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace kyro {
namespace {

// Both modes SEQUENTIAL: start-up continues the saved queue.
const std::string kSequential = "[KYRO32]\r\nWarningMsg=0\r\nListRandomType=3\r\nGroupRandomType=2\r\n";
const char kSavedQueue[] = "0002000000011000" "1001";

class CloseQueryTest : public ::testing::Test {
protected:
    std::unique_ptr<TfmMid> Start() {
        folder.Write("KYRO32.INI", kSequential + "[MIDI]\r\nOutput=null\r\n");
        AppContext context;
        context.programFolderNative = folder.Native();
        context.exeFolderNative = folder.Native();
        context.env.vars["TEMP"] = folder.Native();
        return std::make_unique<TfmMid>(context);
    }

    // Starts on a saved queue at position 2 and reads one title while playing, then removes both
    // files so that only the close can write them again.
    std::unique_ptr<TfmMid> StartAndForgetFiles() {
        SongList songs;
        songs.groups[0].Append({"Z:\\midi\\ONE.MID", "First", '1'});
        songs.groups[0].Append({"Z:\\midi\\TWO.MID", Utf8ToCp932("さくら").value(), '0'});
        songs.groups[1].Append({"Z:\\midi\\THREE.MID", kUntitledMarker, '3'});
        songs.groups[1].Append({"Z:\\midi\\FOUR.MID", "Fourth", '4'});
        EXPECT_TRUE(SaveSongList(folder.Dos(), songs));
        folder.Write(kResumeFileName, kSavedQueue);
        auto mid = Start();
        EXPECT_EQ(mid->Order().QueuePos(), 2);
        mid->ApplyTitle("Z:\\midi\\THREE.MID", "Third");
        std::remove(folder.Native(kResumeFileName).c_str());
        std::remove(folder.Native(kTitleFileName).c_str());
        return mid;
    }

    void ExpectSaved() const {
        EXPECT_EQ(folder.Read(kResumeFileName), kSavedQueue);
        const std::string titles = folder.Read(kTitleFileName);
        EXPECT_EQ(titles.rfind("First\r\n" + Utf8ToCp932("さくら").value() + "\r\n", 0), 0u);
        EXPECT_NE(titles.find("Third\r\nFourth\r\n"), std::string::npos);
    }

    test::TempFolder folder;
    test::MessageRecorder messages;
};

TEST_F(CloseQueryTest, ClosingSavesTheQueueAndTheTitles) {
    auto mid = StartAndForgetFiles();
    mid->show();
    EXPECT_TRUE(mid->close());
    EXPECT_FALSE(mid->isVisible());
    ExpectSaved();
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(CloseQueryTest, ByeClosesThroughTheSameQuery) {
    auto mid = StartAndForgetFiles();
    mid->show();
    mid->findChild<QPushButton*>(QStringLiteral("pbBYE"))->click();
    EXPECT_FALSE(mid->isVisible());
    ExpectSaved();
}

TEST_F(CloseQueryTest, RightDoubleClickOnTheTrayIconCloses) {
    auto mid = StartAndForgetFiles();
    mid->show();
    const int interval = QApplication::doubleClickInterval();
    mid->Tray()->Activate(QSystemTrayIcon::Context, 5000);
    mid->Tray()->Activate(QSystemTrayIcon::Context, 5000 + interval / 2);
    EXPECT_FALSE(mid->isVisible());
    ExpectSaved();
}

TEST_F(CloseQueryTest, TwoRightClicksFarApartDoNotClose) {
    auto mid = StartAndForgetFiles();
    mid->show();
    const int interval = QApplication::doubleClickInterval();
    mid->Tray()->Activate(QSystemTrayIcon::Context, 5000);
    mid->Tray()->Activate(QSystemTrayIcon::Context, 5000 + interval + 1);
    EXPECT_TRUE(mid->isVisible());
    EXPECT_FALSE(folder.Exists(kResumeFileName));
    EXPECT_FALSE(folder.Exists(kTitleFileName));
}

TEST_F(CloseQueryTest, ResumeFileThatCannotBeWrittenStillSavesTheTitles) {
    auto mid = StartAndForgetFiles();
    folder.MakeFolder(kResumeFileName);  // a folder in the file's place
    EXPECT_TRUE(mid->close());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_TRUE(messages.Messages()[0].text.startsWith(QStringLiteral("ﾌｧｲﾙ ")));
    EXPECT_TRUE(folder.Exists(kTitleFileName));
}

// A list that cannot be read loads empty; its close used to write 8991 empty lines over every
// title the user had collected.
TEST_F(CloseQueryTest, TitlesAreKeptWhenTheListCannotBeRead) {
    const std::string titles = "Kept title\r\n" + Utf8ToCp932("さくら").value() + "\r\n";
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"missing", [] {}},
        {"empty", [this] { folder.Write(kListFileName, ""); }},
        {"a folder", [this] { folder.MakeFolder(kListFileName); }},
        {"a link loop", [this] { symlink(kListFileName, folder.Native(kListFileName).c_str()); }},
        {"a FIFO", [this] { mkfifo(folder.Native(kListFileName).c_str(), 0600); }},
        {"garbage", [this] { folder.Write(kListFileName, std::string("\x00\xff\x81\r\n?\x1a\n\\\\x\n", 12)); }},
    };
    for (const auto& [what, makeList] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(folder.Native(kListFileName));
        makeList();
        folder.Write(kTitleFileName, titles);
        auto mid = Start();
        mid->ApplyTitle("Z:\\midi\\ONE.MID", "played");
        EXPECT_TRUE(mid->close());
        EXPECT_EQ(folder.Read(kTitleFileName), titles);
    }
}

// Titles read while playing a list with gaps go to the lines their songs came from; once the list
// editor has saved the list packed, to the packed lines.
TEST_F(CloseQueryTest, TitlesGoToTheLinesOfTheirSongs) {
    folder.Write(kListFileName, "1Z:\\A.MID\r\n\r\n1Z:\\B.MID\r\n");
    folder.Write(kTitleFileName, "ta\r\n\r\n" + kUntitledMarker + "\r\n");
    auto mid = Start();
    mid->ApplyTitle("Z:\\B.MID", "tb");
    EXPECT_TRUE(mid->close());
    EXPECT_EQ(folder.Read(kTitleFileName).substr(0, 10), "ta\r\n\r\ntb\r\n");

    EXPECT_TRUE(mid->ReplaceSongList(mid->Songs()));
    mid->ApplyTitle("Z:\\B.MID", "tb2");
    EXPECT_TRUE(mid->close());
    EXPECT_EQ(folder.Read(kTitleFileName).substr(0, 9), "ta\r\ntb2\r\n");
}

}  // namespace
}  // namespace kyro
