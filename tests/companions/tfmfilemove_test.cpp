// TfmFileMove: what a drop moves or deletes, what it refuses, and what the user is told. The
// editor is a stand-in holding the two controls the window reads ("lvSourceDir", "lbSourceFile").
// Drive D holds SRC\ (the editor's folder) and DST\ (this window's folder).
#include "companions/tfmfilemove.h"

#include "platform/drives.h"
#include "platform/profile.h"
#include "widgets/drivefolder.h"
#include "widgets/form.h"

#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QCheckBox>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace kyro {
namespace {

class FakeEditor : public QWidget, public LinkTarget {
public:
    FakeEditor() {
        sourceList->setProperty("tag", 1);
        sourceList->setSelectionMode(QAbstractItemView::ExtendedSelection);
        entryList->setProperty("tag", 2);
    }
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t, const LParam&) override {
        received.push_back(msg);
        return 0;
    }
    void SetRows(std::initializer_list<const char*> rows) {
        sourceList->clear();
        for (const char* row : rows) {
            auto* item = new QListWidgetItem(QString::fromLatin1(row), sourceList);
            item->setData(Qt::UserRole, QByteArray(row));
            item->setSelected(true);
        }
    }

    FolderTree* folders = MakeControl<FolderTree>(this, "lvSourceDir", {});
    QListWidget* sourceList = MakeControl<QListWidget>(this, "lbSourceFile", {});
    QListWidget* entryList = MakeControl<QListWidget>(this, "lbEntryFile", {});
    std::vector<LinkMessage> received;
};

class TfmFileMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        DriveMap map = DriveMap::Default();
        map.Set('D', disk_.Native());
        map.Set('C', program_.Native());
        SetActiveDriveMap(map);
        disk_.MakeFolder("SRC");
        disk_.MakeFolder("DST");
        for (const char* name : {"A.MID", "B.MID", "P.LZH"}) disk_.Write(std::string("SRC/") + name, name);
        ASSERT_TRUE(editor_.folders->SetFolder("D:\\SRC"));
        window_.SetListEditor(&editor_, &editor_);
        window_.SetProgramFolder("C:\\");
        window_.show();
        ASSERT_TRUE(window_.findChild<FolderTree*>(QStringLiteral("lvSourceDir"))->SetFolder("D:\\DST"));
        // The trash of these tests, in a data folder that does not exist yet.
        if (const char* old = std::getenv("XDG_DATA_HOME")) oldDataHome_ = old;
        ::setenv("XDG_DATA_HOME", trashHome_.Native("data").c_str(), 1);
    }
    void TearDown() override {
        if (oldDataHome_) ::setenv("XDG_DATA_HOME", oldDataHome_->c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
        SetActiveDriveMap(saved_);
    }
    bool Reloaded() const {
        return std::count(editor_.received.begin(), editor_.received.end(), LinkMessage::UM_RELOAD_SOURCE) == 1;
    }

    DriveMap saved_ = ActiveDriveMap();
    test::TempFolder disk_, program_, trashHome_;
    std::optional<std::string> oldDataHome_;
    test::MessageRecorder recorder_;
    FakeEditor editor_;
    TfmFileMove window_;
};

// Was: an empty folder list when the working folder lay outside every mapped drive.
TEST_F(TfmFileMoveTest, FirstShowingOutsideEveryDriveStartsAtTheFirstDrive) {
    DriveMap map = DriveMap::Default();
    map.Set('Z', disk_.Native("SRC"));  // no letter holds the working folder now
    map.Set('E', disk_.Native());
    map.Set('C', program_.Native());
    SetActiveDriveMap(map);
    TfmFileMove fresh;
    fresh.show();
    EXPECT_EQ(fresh.findChild<FolderTree*>(QStringLiteral("lvSourceDir"))->Folder(), "C:\\");
    EXPECT_EQ(fresh.findChild<DriveComboBox*>(QStringLiteral("cmbSourceDrv"))->Drive(), 'C');
}

TEST_F(TfmFileMoveTest, OnlyTheSourceListMayBeDropped) {
    QListWidget untagged;
    const std::pair<QObject*, bool> cases[] = {
        {editor_.sourceList, true}, {editor_.entryList, false}, {&untagged, false}, {nullptr, false}};
    for (const auto& [source, accepted] : cases) {
        EXPECT_EQ(window_.lvSourceDirDragOver(source), accepted);
        EXPECT_EQ(window_.Image1DragOver(source), accepted);
    }
}

// A file of the same name at the destination stays as it was, and so does the one that would
// have replaced it; an archive of several selected members moves once.
TEST_F(TfmFileMoveTest, MovesTheSelectedFilesWithoutReplacingAny) {
    disk_.Write("DST/B.MID", "older B");
    editor_.SetRows({"A.MID", "B.MID", "P.LZH->a.mid", "P.LZH->b.mid"});
    recorder_.Answer(ModalResult::Yes);

    window_.lvSourceDirDragDrop(editor_.sourceList);

    EXPECT_EQ(disk_.Entries("SRC"), std::vector<std::string>{"B.MID"});
    EXPECT_EQ(disk_.Entries("DST"), (std::vector<std::string>{"A.MID", "B.MID", "P.LZH"}));
    EXPECT_EQ(disk_.Read("DST/B.MID"), "older B");
    EXPECT_EQ(disk_.Read("SRC/B.MID"), "B.MID");
    EXPECT_EQ(disk_.Read("DST/P.LZH"), "P.LZH");
    ASSERT_EQ(recorder_.Texts().size(), 2u);
    EXPECT_EQ(recorder_.Texts()[0], QStringLiteral("ファイルを移動します\nよろしいですか？"));
    EXPECT_EQ(recorder_.Texts()[1], QStringLiteral("次のファイルは移動していません。\n\nB.MID（移動先に同じ名前のファイルがあります）"));
    EXPECT_TRUE(Reloaded());
}

TEST_F(TfmFileMoveTest, DeletesToTheTrashAfterOneQuestion) {
    editor_.SetRows({"A.MID", "B.MID", "P.LZH->a.mid"});
    recorder_.Answer(ModalResult::Yes);

    window_.Image1DragDrop(editor_.sourceList);

    EXPECT_TRUE(disk_.Entries("SRC").empty());
    EXPECT_EQ(trashHome_.Entries("data/Trash/files"), (std::vector<std::string>{"A.MID", "B.MID", "P.LZH"}));
    EXPECT_EQ(trashHome_.Entries("data/Trash/info").size(), 3u);
    EXPECT_EQ(recorder_.Texts(), std::vector<QString>{QStringLiteral("ファイルを削除します\nよろしいですか？")});
    EXPECT_TRUE(Reloaded());
}

TEST_F(TfmFileMoveTest, RefusedOrDeclinedDropsChangeNothing) {
    struct Case {
        const char* what;
        const char* destination;
        bool deleting;
        ModalResult answer;
        QString lastMessage;
    };
    const Case cases[] = {
        {"same folder", "D:\\SRC", false, ModalResult::Yes, QStringLiteral("送り側と受け側が同じディレクトリです。")},
        {"the same folder spelt otherwise is another", "D:\\src", false, ModalResult::No,
         QStringLiteral("ファイルを移動します\nよろしいですか？")},
        {"move declined", "D:\\DST", false, ModalResult::No, QStringLiteral("ファイルを移動します\nよろしいですか？")},
        {"delete declined", "D:\\DST", true, ModalResult::No, QStringLiteral("ファイルを削除します\nよろしいですか？")},
    };
    editor_.SetRows({"A.MID"});
    for (const Case& c : cases) {
        ASSERT_TRUE(window_.findChild<FolderTree*>(QStringLiteral("lvSourceDir"))->SetFolder(c.destination));
        recorder_.Answer(c.answer);
        if (c.deleting) window_.Image1DragDrop(editor_.sourceList);
        else window_.lvSourceDirDragDrop(editor_.sourceList);
        EXPECT_EQ(recorder_.Texts().back(), c.lastMessage) << c.what;
    }
    EXPECT_EQ(disk_.Entries("SRC"), (std::vector<std::string>{"A.MID", "B.MID", "P.LZH"}));
    EXPECT_TRUE(disk_.Entries("DST").empty());
    EXPECT_TRUE(editor_.received.empty());
}

TEST_F(TfmFileMoveTest, StayInFrontIsReadBeforeShowingAndWrittenWhenClicked) {
    program_.Write("KYRO32.INI", "[KYRO32]\r\nFileFront=1\r\n");
    auto* stayOnTop = window_.findChild<QCheckBox*>(QStringLiteral("cbStayOnTop"));

    SendLinkMessage(&window_, LinkMessage::UM_LOAD_FRONT);
    EXPECT_TRUE(stayOnTop->isChecked());
    EXPECT_EQ(window_.parentWidget(), &editor_);
    EXPECT_TRUE(window_.isVisible());

    QTest::mouseClick(stayOnTop, Qt::LeftButton);
    EXPECT_EQ(window_.parentWidget(), nullptr);
    EXPECT_EQ(ReadProfileInt(program_.Native("KYRO32.INI"), "KYRO32", "FileFront", -1), 0);
}

}  // namespace
}  // namespace kyro
