// The drive box, the folder list and the drive check, over a drive map of test folders only:
// D: a folder tree, G: one of its folders, E: a folder that does not exist (not ready).
#include "widgets/drivefolder.h"

#include "platform/drives.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

namespace kyro {
namespace {

using Strings = std::vector<std::string>;

class DriveFolderTest : public ::testing::Test {
protected:
    DriveFolderTest() {
        for (const char* folder : {"MIDI/GM", "MIDI/GS", "MIDI/.x", "LZH", "ソ"}) disk_.MakeFolder(folder);
        disk_.Write("MIDI/a.mid", "song");
        EXPECT_EQ(::symlink(disk_.Native("LZH").c_str(), disk_.Native("MIDI/link").c_str()), 0);
        DriveMap drives;
        drives.Set('D', disk_.Native());
        drives.Set('E', disk_.Native("gone"));
        drives.Set('G', disk_.Native("LZH"));
        SetActiveDriveMap(drives);
    }
    ~DriveFolderTest() override { SetActiveDriveMap(saved_); }

    // The list as shown: each item's text (UTF-8), two spaces further in per level.
    Strings Shown() {
        Strings rows;
        for (QTreeWidgetItemIterator it(&tree_); *it; ++it) {
            int depth = 0;
            for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) ++depth;
            rows.push_back(std::string(2 * depth, ' ') + (*it)->text(0).toStdString());
        }
        return rows;
    }

    DriveMap saved_ = ActiveDriveMap();
    test::TempFolder disk_;
    FolderTree tree_;
};

TEST_F(DriveFolderTest, FolderListShowsAncestorsThenVisibleSubfolders) {
    const Strings midi = {"D:\\", "  MIDI", "    GM", "    GS"};  // no .x, link or a.mid
    // asked, taken, Folder() and list after it; a folder not taken leaves both as they were.
    const std::tuple<std::string, bool, std::string, Strings> cases[] = {
        {"D:\\", true, "D:\\", {"D:\\", "  LZH", "  MIDI", "  ソ"}},
        {"d:\\MIDI\\", true, "D:\\MIDI", midi},
        {"D:\\NONE", false, "D:\\MIDI", midi},
        {"D:\\MIDI\\a.mid", false, "D:\\MIDI", midi},
        {"E:\\", false, "D:\\MIDI", midi},
        {"D:\\MIDI\\..\\LZH", false, "D:\\MIDI", midi},
        {"D:\\MIDI\\GS", true, "D:\\MIDI\\GS", {"D:\\", "  MIDI", "    GS"}},
        {"D:\\\x83\x5C", true, "D:\\\x83\x5C", {"D:\\", "  ソ"}},  // the final 0x5C is the second byte of "ソ"
    };
    QSignalSpy changed(&tree_, &FolderTree::folderChanged);
    for (const auto& [asked, taken, folder, shown] : cases) {
        const int before = changed.count();
        EXPECT_EQ(tree_.SetFolder(asked), taken) << asked;
        EXPECT_EQ(changed.count() - before, taken ? 1 : 0);
        EXPECT_EQ(tree_.Folder(), folder);
        EXPECT_EQ(Shown(), shown);
    }
}

TEST_F(DriveFolderTest, ActivatingAnItemMakesItTheFolder) {
    ASSERT_TRUE(tree_.SetFolder("D:\\MIDI"));
    tree_.setCurrentItem(tree_.findItems(QStringLiteral("GM"), Qt::MatchExactly | Qt::MatchRecursive).value(0));
    QTest::keyClick(&tree_, Qt::Key_Return);
    EXPECT_EQ(tree_.Folder(), "D:\\MIDI\\GM");
}

// A folder gone since it was listed was refused without a word, and the list highlighted it.
TEST_F(DriveFolderTest, ActivatingAFolderThatCannotBeReadSaysSoAndKeepsTheHighlight) {
    test::MessageRecorder messages;
    ASSERT_TRUE(tree_.SetFolder("D:\\MIDI"));
    std::filesystem::remove(disk_.Native("MIDI/GM"));
    tree_.setCurrentItem(tree_.findItems(QStringLiteral("GM"), Qt::MatchExactly | Qt::MatchRecursive).value(0));
    QTest::keyClick(&tree_, Qt::Key_Return);
    EXPECT_EQ(tree_.Folder(), "D:\\MIDI");
    EXPECT_EQ(tree_.currentItem()->text(0), QStringLiteral("MIDI"));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts().front(), QStringLiteral("ディレクトリを開けませんでした。\nD:\\MIDI\\GM"));
}

TEST_F(DriveFolderTest, DriveBoxSignalsOnlyTheUsersChoice) {
    DriveComboBox box;
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(0), QStringLiteral("d: [%1]").arg(QString::fromStdString(disk_.Native())));
    QSignalSpy chosen(&box, &DriveComboBox::driveChosen);
    box.SetDrive('g');
    EXPECT_EQ(box.Drive(), 'G');
    QTest::keyClick(&box, Qt::Key_Up);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).value<char>(), 'E');
}

// A long folder is shortened in the middle in the box and shown whole in the list it drops.
TEST_F(DriveFolderTest, DriveBoxKeepsTheLetterAndTheFoldersEndInSight) {
    DriveComboBox box;
    box.resize(120, box.sizeHint().height());
    box.show();
    const QString whole = box.currentText();
    EXPECT_EQ(box.toolTip(), whole);
    const QString shown = box.ShownText();
    EXPECT_LT(box.fontMetrics().horizontalAdvance(shown), 120);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("d: ")) && shown.endsWith(QStringLiteral("]"))) << shown.toStdString();
    EXPECT_NE(shown, whole);
    box.showPopup();
    EXPECT_GE(box.view()->width(), box.fontMetrics().horizontalAdvance(whole));
    box.hidePopup();
}

TEST_F(DriveFolderTest, DriveCheckFallsBackAfterSayingSo) {
    const QString notReady = QStringLiteral("ドライブ e の準備が出来ていません。");
    const std::tuple<char, char, char, std::vector<QString>> cases[] = {  // chosen, fallback, drive, messages
        {'d', 'g', 'D', {}},
        {'e', 'g', 'G', {notReady}},
        {'E', 'q', 'D', {notReady}},  // an unmapped fallback: the first ready letter from A
        {'e', '\0', 'D', {notReady}},
    };
    for (const auto& [chosen, fallback, drive, messages] : cases) {
        test::MessageRecorder recorder;
        EXPECT_EQ(CheckDrive(chosen, fallback), std::optional<char>(drive)) << chosen << fallback;
        EXPECT_EQ(recorder.Texts(), messages);
        for (const Message& m : recorder.Messages()) EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    }
    DriveMap onlyE;
    onlyE.Set('E', disk_.Native("gone"));
    SetActiveDriveMap(onlyE);
    test::MessageRecorder recorder;
    EXPECT_EQ(CheckDrive('e', 'e'), std::nullopt);
    ASSERT_EQ(recorder.Messages().size(), 2u);
    EXPECT_EQ(recorder.Messages()[1].text, QStringLiteral("使用可能なドライブが見つかりません。"));
    EXPECT_EQ(recorder.Messages()[1].icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace kyro
