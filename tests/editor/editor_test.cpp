// The list editor driven through its handlers and controls: opening, add with its limit, delete,
// moves, maps, the detail view, drag and drop, the group switch and the close query, search and
// duplicates, test play.
#include "editor/editorwindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include <functional>
#include <utility>

namespace kyro {
namespace {

using test::EditorWindowTest;

class EditorTest : public EditorWindowTest {};

TEST_F(EditorTest, OpeningShowsThePlayersGroupAndSongAndTheFolderWithItsArchive) {
    SongList songs = Numbered(3);
    for (int i = 0; i < 9; ++i) songs.groups[3].Append({Song("ALPHA.MID"), "a", '0'});
    Open(songs);
    EXPECT_EQ(editor.EditedGroup(), 0);
    EXPECT_EQ(Items("lbSourceFile"), (std::vector<std::string>{"55MAP.MID", "88MAP.MID", "88Pro.MID", "ALPHA.MID", "BETA.MID",
                                                               "GAMMA.MID", "GM.MID", "PACK.LZH->c.mid"}));
    EXPECT_EQ(editor.findChild<QComboBox*>("cmbGroupName")->currentText(), QStringLiteral("Group1"));
    EXPECT_EQ(Selected(), std::vector<int>{0});  // the player's current song
    EXPECT_FALSE(editor.Modified());
}

// The first opening starts in the folder the program was started in. Placing the folder tree
// there listed the folder once and the opening again, so each damaged archive's message came twice.
TEST_F(EditorTest, TheFirstOpeningListsTheStartFolderOnce) {
    folder.Write("BAD.LZH", "not an archive");
    const QString startedIn = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(folder.Native()));
    mid = Start(Numbered(1));
    mid->SetListEditor(&editor);
    editor.show();
    QDir::setCurrent(startedIn);
    EXPECT_EQ(messages.Texts().size(), 1u);
    EXPECT_TRUE(messages.Texts().front().endsWith(Cp932ToQString(Song("BAD.LZH") + " ]")));
    EXPECT_EQ(Items("lbSourceFile").back(), "PACK.LZH->c.mid");
}

// A first start (the program folder made just now) without songs opens the editor on the user's
// music folder instead of saying there is nothing to play; an old folder with an empty list keeps
// the message.
TEST_F(EditorTest, AFirstStartOpensTheEditorOnTheMusicFolder) {
    musicFolder = folder.MakeFolder("Music");
    for (const bool firstStart : {true, false}) {
        SCOPED_TRACE(firstStart);
        newProgramFolder = firstStart;
        editor.hide();
        const std::size_t before = messages.Texts().size();
        mid = Start(SongList{}, "[KYRO32]\r\nWarningMsg=2\r\n");
        mid->SetListEditorMaker([this] { mid->SetListEditor(&editor); });
        QCoreApplication::processEvents();
        EXPECT_EQ(editor.isVisible(), firstStart);
        EXPECT_EQ(messages.Texts().size() - before, firstStart ? 0u : 1u);  // the no-songs message
        if (firstStart) {
            EXPECT_EQ(editor.findChild<FolderTree*>("lvSourceDir")->Folder(), folder.Dos() + "Music");
        }
    }
}

TEST_F(EditorTest, AddRefusesABatchThatWouldReachAThousand) {
    const struct {
        int before, batch;
        bool added;
    } cases[] = {{998, 1, true}, {999, 1, false}, {995, 5, false}, {994, 4, true}};
    for (int i = 0; i < 5; ++i) folder.Write("S" + std::to_string(i) + ".MID", "MThd");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.before) + " + " + std::to_string(c.batch));
        Open(Numbered(c.before));
        List("lbSourceFile")->clearSelection();
        for (int i = 0; i < c.batch; ++i) List("lbSourceFile")->item(8 + i)->setSelected(true);  // S0.MID...
        const std::size_t messagesBefore = messages.Messages().size();
        editor.pbAddListClick();
        EXPECT_EQ(editor.Entries().size(), static_cast<std::size_t>(c.before + (c.added ? c.batch : 0)));
        EXPECT_EQ(messages.Messages().size() - messagesBefore, c.added ? 0u : 1u);
        if (!c.added) {
            EXPECT_EQ(messages.Texts().back(), QStringLiteral("リストが999を超えようとしています。"));
        }
        editor.hide();
    }
}

TEST_F(EditorTest, LooseFilesAndArchiveMembersAreAddedTogether) {
    Open(SongList());
    SelectSource({"ALPHA.MID", "PACK.LZH->c.mid"});
    editor.pbAddListClick();
    ASSERT_EQ(editor.Entries().size(), 2u);
    EXPECT_EQ(editor.Entries()[0].FullPath(), Song("ALPHA.MID"));
    EXPECT_EQ(editor.Entries()[1].FullPath(), Song("PACK.LZH->c.mid"));
    EXPECT_EQ(editor.Entries()[1].title, kUntitledMarker);
    EXPECT_EQ(Items("lbEntryFile"), (std::vector<std::string>{"ALPHA.MID", "PACK.LZH->c.mid"}));
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1}));
    EXPECT_TRUE(editor.Modified());
    // The Document button is for one archived song.
    Select("lbEntryFile", {1});
    editor.lbEntryFileClick();
    EXPECT_TRUE(EditorButton("pbDoc")->isEnabled());
    Select("lbEntryFile", {0});
    editor.lbEntryFileClick();
    EXPECT_FALSE(EditorButton("pbDoc")->isEnabled());
}

TEST_F(EditorTest, MovesAndDeletesWithSelectionsAtBothEnds) {
    Open(Numbered(6));
    Select("lbEntryFile", {3, 4, 5});
    editor.pbUpClick();
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"0.MID", "1.MID", "3.MID", "4.MID", "5.MID", "2.MID"}));
    EXPECT_EQ(Selected(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(editor.Entries().back().title, "t2");  // titles move with their songs
    Select("lbEntryFile", {0, 1});
    editor.pbUpClick();  // already at the top
    EXPECT_EQ(EntryNames()[0], "0.MID");
    editor.pbDownClick();
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"3.MID", "0.MID", "1.MID", "4.MID", "5.MID", "2.MID"}));

    Select("lbEntryFile", {1, 2, 4});
    editor.lbEntryFileClick();
    EXPECT_FALSE(EditorButton("pbUp")->isEnabled());
    EXPECT_FALSE(EditorButton("pbDown")->isEnabled());
    editor.pbUpClick();
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("連続した範囲を選択して下さい。"));

    Select("lbEntryFile", {5});
    editor.pbDelListClick();  // the focused last entry: the new last one is selected
    EXPECT_EQ(Selected(), std::vector<int>{4});
    editor.findChild<QListWidget*>("lbEntryFile")->selectAll();
    editor.pbDelListClick();
    EXPECT_TRUE(editor.Entries().empty());
    for (const char* button : {"pbDoc", "pbTest", "pbUp", "pbDown"}) EXPECT_FALSE(EditorButton(button)->isEnabled()) << button;
}

TEST_F(EditorTest, MapGoesToEverySelectedEntryAndOnlyARealChangeCounts) {
    SongList songs = Numbered(4);
    songs.groups[0].Replace(3, {"Z:\\m\\3.MID", "t3", '3'});
    Open(songs);
    Select("lbEntryFile", {0, 1, 3});
    editor.lbEntryFileClick();
    auto* group = editor.findChild<QGroupBox*>("gbRbMap");
    for (auto* radio : group->findChildren<QRadioButton*>()) EXPECT_FALSE(radio->isChecked());  // mixed maps
    editor.gbRbMapClick(3);
    EXPECT_TRUE(editor.Modified());
    EXPECT_EQ(editor.Entries()[0].map, '3');
    EXPECT_EQ(editor.Entries()[2].map, '0');
    std::string maps;
    for (const auto& e : editor.Entries()) maps += e.map;
    EXPECT_EQ(maps, "3303");

    Open(songs);
    Select("lbEntryFile", {3});
    editor.gbRbMapClick(3);
    EXPECT_FALSE(editor.Modified());
}

// Outside tools read each entry's folder, title and map from the three hidden boxes.
TEST_F(EditorTest, TheHiddenBoxesFollowTheEntriesThroughEveryKindOfChange) {
    Open(Numbered(4));
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"map", [&] { Select("lbEntryFile", {1, 2}); editor.gbRbMapClick(2); }},
        {"title", [&] { editor.SetEntryTitle(3, "new title"); }},
        {"move", [&] { Select("lbEntryFile", {3}); editor.pbUpClick(); }},
        {"delete", [&] { Select("lbEntryFile", {0}); editor.pbDelListClick(); }},
        {"add", [&] { SelectSource({"PACK.LZH->c.mid"}); editor.pbAddListClick(); }},
    };
    for (const auto& [change, make] : changes) {
        SCOPED_TRACE(change);
        make();
        std::vector<std::string> folders, titles, maps;
        for (const auto& e : editor.Entries()) {
            folders.push_back(Cp932ToQString(e.folder).toStdString());
            titles.push_back(Cp932ToQString(e.title).toStdString());
            maps.push_back(std::string(1, e.map));
        }
        EXPECT_EQ(Items("lbEntryDir"), folders);
        EXPECT_EQ(Items("lbEntryTitle"), titles);
        EXPECT_EQ(Items("lbEntryMap"), maps);
    }
    EXPECT_EQ(Items("lbEntryTitle")[1], "new title");
}

TEST_F(EditorTest, DetailViewChangesOnlyTheTextShown) {
    Open(Numbered(3));
    Select("lbEntryFile", {1, 2});
    auto* detail = editor.findChild<QCheckBox*>("cbDtl");
    detail->click();
    EXPECT_EQ(Items("lbEntryFile")[1], "Z:\\m\\1.MID");
    detail->click();
    EXPECT_EQ(Items("lbEntryFile")[1], "1.MID");
    EXPECT_EQ(editor.Entries()[1].FullPath(), "Z:\\m\\1.MID");
    EXPECT_EQ(Selected(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(editor.Modified());
}

TEST_F(EditorTest, DragAndDropBetweenTheTwoLists) {
    Open(Numbered(2));
    QObject* source = List("lbSourceFile");
    QObject* entries = List("lbEntryFile");
    EXPECT_TRUE(editor.lbEntryFileDragOver(source));
    EXPECT_FALSE(editor.lbEntryFileDragOver(entries));
    EXPECT_TRUE(editor.lbSourceFileDragOver(entries));
    EXPECT_FALSE(editor.lbSourceFileDragOver(source));
    SelectSource({"BETA.MID"});
    editor.lbEntryFileDragDrop(source);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"0.MID", "1.MID", "BETA.MID"}));
    Select("lbEntryFile", {0});
    editor.lbSourceFileDragDrop(entries);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"1.MID", "BETA.MID"}));
}

TEST_F(EditorTest, GroupSwitchAnswersYesNoAndCancel) {
    const struct {
        ModalResult answer;
        int group;          // the edited group afterwards
        bool savedOnDisk;   // the deletion reached the list file
        bool modified;
    } cases[] = {{ModalResult::Yes, 1, true, false}, {ModalResult::No, 1, false, false}, {ModalResult::Cancel, 0, false, true}};
    for (const auto& c : cases) {
        Open(Numbered(3), kAsking);
        Select("lbEntryFile", {0});
        editor.pbDelListClick();
        messages.Answer(c.answer);
        auto* selector = editor.findChild<QComboBox*>("cmbGroupName");
        selector->setCurrentIndex(1);
        editor.cmbGroupNameChange();
        EXPECT_EQ(messages.Texts().back(), QStringLiteral("リストがまだ保存されていません。\n保存しますか？"));
        EXPECT_EQ(editor.EditedGroup(), c.group);
        EXPECT_EQ(selector->currentIndex(), c.group);
        EXPECT_EQ(editor.Modified(), c.modified);
        EXPECT_EQ(folder.Read(kListFileName).rfind("0Z:\\m\\1.MID", 0) == 0, c.savedOnDisk);
        EXPECT_EQ(mid->Songs().groups[0].Count(), c.savedOnDisk ? 2 : 3);
        editor.hide();
    }
}

TEST_F(EditorTest, CloseQueryCancelKeepsTheWindowAndAsksAgain) {
    Open(Numbered(3), kAsking);
    Select("lbEntryFile", {2});
    editor.pbDelListClick();
    messages.Answer(ModalResult::Cancel);
    EXPECT_FALSE(editor.close());
    EXPECT_TRUE(editor.isVisible());
    EXPECT_TRUE(editor.Modified());
    messages.Answer(ModalResult::No);
    EXPECT_TRUE(editor.close());
    EXPECT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(mid->Songs().groups[0].Count(), 3);  // No dropped the change

    Open(Numbered(3), kAsking);
    Select("lbEntryFile", {2});
    editor.pbDelListClick();
    messages.Answer(ModalResult::Yes);
    EXPECT_TRUE(mid->close());  // the main window asks the editor first
    EXPECT_EQ(mid->Songs().groups[0].Count(), 2);
}

TEST_F(EditorTest, SearchAndDuplicateCheckSelectWhatTheyFind) {
    SongList songs;
    for (const char* name : {"SONG.MID", "b.mid", "SONG.MID", "song.mid", "x.rcp", "b.mid"})
        songs.groups[0].Append({std::string("Z:\\m\\") + name, "", '0'});
    Open(songs);
    editor.findChild<QLineEdit*>("edSearch")->setText(QStringLiteral("mid"));
    editor.pbSearchClick();
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3, 5}));
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("  5 個のリストが見つかりました。\n見つかったリストは選択されます。"));
    editor.findChild<QCheckBox*>("cbULCheck")->setChecked(true);
    editor.pbSearchClick();
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3, 5}));

    editor.pbWCheckClick();
    EXPECT_EQ(Selected(), (std::vector<int>{2, 5}));  // SONG.MID and song.mid differ
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("重複リストがあります。\n重複したリストは選択されます。"));
    EXPECT_FALSE(mid->Busy());
    EXPECT_FALSE(wait->isVisible());
}

// The wait dialog belongs to the editor, which is disabled while the check runs: its Cancel must
// still work, and the marks made until then stay.
TEST_F(EditorTest, CancelDuringTheDuplicateCheckKeepsTheMarksSoFar) {
    SongList songs;
    for (int i = 0; i < 30; ++i) songs.groups[0].Append({"Z:\\m\\" + std::to_string(i % 15) + ".MID", "", '0'});
    Open(songs);
    QTimer::singleShot(0, [this] { wait->findChild<QPushButton*>("CancelBtn")->click(); });
    editor.pbWCheckClick();
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("中断しました。\n重複リストがあります。\n重複したリストは選択されます。"));
    EXPECT_EQ(Selected(), std::vector<int>{15});  // the copy of the first base only
    EXPECT_TRUE(editor.isEnabled());
}

TEST_F(EditorTest, TestPlayNeedsOnePlayableSong) {
    SongList songs = ThreeSongs();
    songs.groups[0].Append({Song("X.RCP"), "", '0'});
    Open(songs, std::string(kSequential) + "[MIDI]\r\nTypes=mid\r\n");  // RCP files left out
    Select("lbEntryFile", {0, 1});
    editor.pbTestClick();
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("ファイルを１つだけ選択して下さい。"));
    Select("lbEntryFile", {2});
    editor.pbTestClick();
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("この形式のファイルは現在演奏できません。"));
    log->Clear();
    Select("lbEntryFile", {1});
    editor.pbTestClick();
    EXPECT_EQ(log->commands, (Commands{"open BETA.MID", "play notify"}));
}

}  // namespace
}  // namespace kyro
