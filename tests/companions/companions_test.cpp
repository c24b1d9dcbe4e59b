// The list editor's companion windows: the title list (rows and selection in step with the
// editor, Get Title, Select New, search, stay in front and position) and the list move window
// (counts, drag acceptance, the 999 limit, the move itself).
#include "editor/editorwindow.h"

#include "companions/tfmlistmove.h"
#include "companions/tfmtitle.h"
#include "platform/filesystem.h"
#include "platform/profile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <dlfcn.h>

#include <filesystem>
#include <numeric>

namespace kyro {
namespace {

using test::EditorWindowTest;

class CompanionsTest : public EditorWindowTest {
protected:
    // The editor opened with both companions; the title window shown as pbTitle shows it.
    void OpenWithCompanions(const SongList& songs, const std::string& settings = kSequential) {
        title.hide();  // each showing reloads the window from the editor
        listMove.hide();
        companions.title = &title;
        companions.listMove = &listMove;
        Open(songs, settings);
        title.SetListEditor(&editor);
        title.SetPlayer(mid.get());
        title.SetTempFolderSource([this] { return mid->UnpackFolder(); });
        title.SetWaitDialog(wait);
        listMove.SetListEditor(&editor);
        listMove.SetPlayer(mid.get());
        editor.pbTitleClick();
    }

    QListWidget* Titles() const { return title.findChild<QListWidget*>("lbTitle"); }
    std::vector<std::string> TitleRows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < Titles()->count(); ++i) rows.push_back(Titles()->item(i)->text().toStdString());
        return rows;
    }
    std::vector<int> TitleSelection() const {
        std::vector<bool> selected;
        for (int i = 0; i < Titles()->count(); ++i) selected.push_back(Titles()->item(i)->isSelected());
        return SelectedIndexes(selected);
    }
    void SelectTitles(std::initializer_list<int> rows) const {
        Titles()->clearSelection();
        for (int row : rows) Titles()->item(row)->setSelected(true);
    }
    std::vector<std::string> EditorTitles() const {
        std::vector<std::string> titles;
        for (const auto& e : editor.Entries()) titles.push_back(Cp932ToQString(e.title).toStdString());
        return titles;
    }
    std::string Ini() const { return SettingsFilePath(folder.Dos()); }

    QLineEdit* GroupName(int group) const {
        return listMove.findChild<QLineEdit*>(QStringLiteral("edGrpTitle%1").arg(group + 1));
    }
    QString Count(int group) const {
        return listMove.findChild<MPanel*>(QStringLiteral("edListNum%1").arg(group + 1))->Caption2();
    }

    // Declared after the editor, so destroyed before it, even while it owns them.
    TfmTitle title;
    TfmListMove listMove;
};

// ---- Title window ----------------------------------------------------------------------------

TEST_F(CompanionsTest, TitleRowsFollowTheEditorsChanges) {
    OpenWithCompanions(Numbered(4));
    EXPECT_EQ(title.findChild<QComboBox*>("cmbGroupName")->currentText(), QStringLiteral("Group1"));
    EXPECT_EQ(TitleRows(), EditorTitles());
    EXPECT_EQ(TitleSelection(), Selected());

    const struct {
        const char* step;
        std::function<void()> change;
    } cases[] = {
        {"up", [&] { Select("lbEntryFile", {2, 3}); editor.pbUpClick(); }},
        {"down", [&] { Select("lbEntryFile", {0}); editor.pbDownClick(); }},
        {"add", [&] { SelectSource({"ALPHA.MID", "PACK.LZH->c.mid"}); editor.pbAddListClick(); }},
        {"delete", [&] { Select("lbEntryFile", {1, 4}); editor.pbDelListClick(); }},
        {"group switch", [&] {
             auto* groups = title.findChild<QComboBox*>("cmbGroupName");
             groups->setCurrentIndex(2);
             title.cmbGroupNameChange();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        c.change();
        EXPECT_EQ(TitleRows(), EditorTitles());
        EXPECT_EQ(TitleSelection(), Selected());
    }
    EXPECT_EQ(editor.EditedGroup(), 2);
}

// Was: after Cancel the box named the group chosen while the rows stayed those of the first.
TEST_F(CompanionsTest, CancelledGroupSwitchPutsTheBoxBack) {
    OpenWithCompanions(Numbered(4), kAsking);
    Select("lbEntryFile", {0});
    editor.pbDelListClick();
    messages.Answer(ModalResult::Cancel);
    auto* groups = title.findChild<QComboBox*>("cmbGroupName");
    groups->setCurrentIndex(2);
    title.cmbGroupNameChange();
    EXPECT_EQ(editor.EditedGroup(), 0);
    EXPECT_EQ(groups->currentIndex(), 0);
    EXPECT_EQ(TitleRows(), EditorTitles());
}

TEST_F(CompanionsTest, SelectionGoesBothWays) {
    OpenWithCompanions(Numbered(5));
    SelectTitles({1, 3});  // a click: the editor follows
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3}));
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(Titles(), &ctrlA);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3, 4}));
    Select("lbEntryFile", {2});
    editor.lbEntryFileClick();
    EXPECT_EQ(TitleSelection(), std::vector<int>{2});
}

TEST_F(CompanionsTest, UnusableTitleNotificationsAreRefused) {
    OpenWithCompanions(Numbered(2));
    const struct {
        LinkMessage msg;
        std::intptr_t wParam;
        const char* text;
    } cases[] = {
        {LinkMessage::UM_TITLE_ADD, 0, "新規タイトル送信先が不正です。"},
        {LinkMessage::UM_TITLE_DELETE, 2, "削除対象リスト番号が不正です。"},
        {LinkMessage::UM_TITLE_DELETE, -1, "削除対象リスト番号が不正です。"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SendLinkMessage(&title, c.msg, c.wParam, static_cast<std::string*>(nullptr)), 0) << c.text;
        EXPECT_EQ(messages.Texts().back(), QString::fromUtf8(c.text));
        EXPECT_EQ(messages.Messages().back().icon, MessageIcon::Stop);
    }
    EXPECT_EQ(TitleRows(), (std::vector<std::string>{"t0", "t1"}));
}

TEST_F(CompanionsTest, GetTitleReadsSelectedRowsAndReportsFailuresOnce) {
    SongList songs;
    songs.groups[0].Append({Song("ALPHA.MID"), kUntitledMarker, '0'});
    songs.groups[0].Append({Song("BETA.MID"), "Beta", '0'});
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), kUntitledMarker, '0'});
    songs.groups[0].Append({Song("GONE.MID"), "old", '0'});
    songs.groups[0].Append({Song("PACK.LZH->readme.txt"), "doc", '0'});
    OpenWithCompanions(songs);
    SelectTitles({0, 2, 3, 4});
    const std::size_t before = messages.Messages().size();
    title.pbGetTitleClick();

    EXPECT_EQ(EditorTitles(), (std::vector<std::string>{"Alpha", "Beta", "C", "old", "doc"}));
    EXPECT_EQ(TitleRows(), EditorTitles());
    EXPECT_TRUE(editor.Modified());
    ASSERT_EQ(messages.Messages().size(), before + 1);
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("ﾌｧｲﾙを開けませんでした。\n") + Cp932ToQString(Song("GONE.MID")) +
                                           QStringLiteral("\nﾌｧｲﾙの形式が不正です。\n") +
                                           Cp932ToQString(Song("PACK.LZH->readme.txt")));
    EXPECT_EQ(TitleSelection(), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(Selected(), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_TRUE(editor.isEnabled());
    EXPECT_TRUE(Titles()->isEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(*NativePath(mid->UnpackFolder())));  // every unpacked copy deleted
}

TEST_F(CompanionsTest, GetTitleCancelledKeepsWhatItRead) {
    SongList songs;
    for (const char* name : {"ALPHA.MID", "BETA.MID", "GAMMA.MID"}) songs.groups[0].Append({Song(name), "old", '0'});
    OpenWithCompanions(songs);
    title.findChild<QCheckBox*>("cbStayOnTop")->click();  // owned by the editor, which the run disables
    SelectTitles({0, 1, 2});
    // Cancel is pressed while the first row is being read.
    auto* button = title.findChild<QPushButton*>("pbGetTitle");
    QTimer::singleShot(0, &title, [button] { button->click(); });
    title.pbGetTitleClick();
    EXPECT_EQ(EditorTitles(), (std::vector<std::string>{"Alpha", "old", "old"}));
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(title.GetTitleRunning());
    EXPECT_TRUE(editor.isEnabled());
}

// While the archive library is busy, Get Title waits under the wait dialog and then tries
// again; this library unpacks nothing, so the entry is named as not read and keeps its title.
TEST_F(CompanionsTest, GetTitleWaitsOutABusyArchiveLibrary) {
    const std::string library = KYRO_RECORDING_UNLHA;
    archiveFolder = library.substr(0, library.rfind('/'));
    archiveFile = library.substr(library.rfind('/') + 1);
    void* handle = dlopen(library.c_str(), RTLD_NOW);  // the same instance the program loads
    ASSERT_NE(handle, nullptr);
    reinterpret_cast<void (*)()>(dlsym(handle, "RecordingReset"))();
    reinterpret_cast<void (*)(int)>(dlsym(handle, "RecordingSetRunning"))(1);
    SongList songs;
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), "old", '0'});
    OpenWithCompanions(songs, std::string(kSequential) + "UnlhaBusy=5\r\n");
    QString waitCaption;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("fmWait")) return;
        waitCaption = dialog->findChild<MPanel*>("edMode")->Caption2();
        reinterpret_cast<void (*)(int)>(dlsym(handle, "RecordingSetRunning"))(0);
        dialog->accept();  // the countdown has run out
    });
    poll.start(0);
    SelectTitles({0});
    title.pbGetTitleClick();
    poll.stop();
    EXPECT_EQ(waitCaption, QStringLiteral("UNLHA32.DLL が作業中です。"));
    EXPECT_EQ(EditorTitles(), std::vector<std::string>{"old"});
    EXPECT_NE(messages.Texts().back().indexOf(QStringLiteral("PACK.LZH->c.mid")), -1);
    EXPECT_FALSE(title.GetTitleRunning());
    dlclose(handle);
}

TEST_F(CompanionsTest, SelectNewAddsTheUntitledRows) {
    SongList songs = ThreeSongs();
    songs.groups[0].Append({Song("GAMMA.MID"), kUntitledMarker, '0'});
    OpenWithCompanions(songs);
    SelectTitles({1});
    title.pbSelNewClick();
    EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2}));

    OpenWithCompanions(Numbered(3));  // nothing untitled: the selection stays, and the editor has it
    SelectTitles({1});
    title.pbSelNewClick();
    EXPECT_EQ(Selected(), std::vector<int>{1});
    EXPECT_EQ(TitleSelection(), std::vector<int>{1});
}

TEST_F(CompanionsTest, SearchSelectsTheMatchesAndCountsThem) {
    SongList songs;
    for (const char* t : {"Rain", "BRAIN", "train", "Sun", "RAINBOW", "grain"}) songs.groups[0].Append({"Z:\\m\\x.MID", t, '0'});
    OpenWithCompanions(songs);
    const struct {
        const char* needle;
        bool caseSensitive;
        std::vector<int> found;
        const char* message;
    } cases[] = {
        {"rain", false, {0, 1, 2, 4, 5}, "  5 個のリストが見つかりました。\n見つかったリストは選択されます。"},
        {"rain", true, {2, 5}, "  2 個のリストが見つかりました。\n見つかったリストは選択されます。"},
        {"moon", false, {}, "指定された文字は見つかりませんでした。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.needle);
        title.findChild<QLineEdit*>("edSearch")->setText(QString::fromUtf8(c.needle));
        title.findChild<QCheckBox*>("cbULCheck")->setChecked(c.caseSensitive);
        title.pbSearchClick();
        EXPECT_EQ(TitleSelection(), c.found);
        EXPECT_EQ(Selected(), c.found);
        EXPECT_EQ(messages.Texts().back(), QString::fromUtf8(c.message));
        EXPECT_EQ(messages.Messages().back().icon, MessageIcon::Information);
    }
    EXPECT_FALSE(mid->Busy());
}

TEST_F(CompanionsTest, StayInFrontAndPlaceAreKept) {
    OpenWithCompanions(Numbered(1));
    auto* front = title.findChild<QCheckBox*>("cbStayOnTop");
    front->click();
    EXPECT_EQ(ReadProfileInt(Ini(), "KYRO32", "TitleFront", -1), 1);
    EXPECT_EQ(title.parentWidget(), &editor);
    EXPECT_TRUE(title.isVisible());
    front->click();
    EXPECT_EQ(ReadProfileInt(Ini(), "KYRO32", "TitleFront", -1), 0);
    EXPECT_EQ(title.parentWidget(), nullptr);
    title.close();
    WriteProfileInt(Ini(), "KYRO32", "TitleFront", 1);
    editor.pbTitleClick();  // UM_LOAD_FRONT reads it again
    EXPECT_TRUE(front->isChecked());
    EXPECT_EQ(title.parentWidget(), &editor);

    const struct {
        int x, y;
        QPoint placed;
    } cases[] = {{-10, 50, {0, 0}}, {100000, 50, {0, 0}}, {30, 40, {30, 40}}};
    for (const auto& c : cases) {
        WriteProfileInt(Ini(), "KYRO32", "TitlePosX", c.x);
        WriteProfileInt(Ini(), "KYRO32", "TitlePosY", c.y);
        WriteProfileInt(Ini(), "KYRO32", "TitleSizeX", 500);
        WriteProfileInt(Ini(), "KYRO32", "TitleSizeY", 300);
        title.FormCreate();
        EXPECT_EQ(title.pos(), c.placed);
        EXPECT_EQ(title.size(), QSize(500, 300));
    }
    title.move(12, 34);
    title.close();
    EXPECT_EQ(ReadProfileInt(Ini(), "KYRO32", "TitlePosX", -1), 12);
    EXPECT_EQ(ReadProfileInt(Ini(), "KYRO32", "TitleSizeY", -1), 300);
}

// ---- List move window ------------------------------------------------------------------------

// Group1 (edited) holds ten songs, Group2 `inSecond`.
SongList TenAnd(int inSecond) {
    SongList songs;
    for (int i = 0; i < 10; ++i) songs.groups[0].Append({"Z:\\m\\" + std::to_string(i) + ".MID", "t" + std::to_string(i), '0'});
    for (int i = 0; i < inSecond; ++i) songs.groups[1].Append({"Z:\\n\\" + std::to_string(i) + ".MID", "u", '0'});
    return songs;
}

TEST_F(CompanionsTest, CountsAndDragsFromEntryListsOntoOtherGroups) {
    OpenWithCompanions(TenAnd(3));
    editor.pbListMoveClick();
    EXPECT_EQ(GroupName(1)->text(), QStringLiteral("Group2"));
    EXPECT_EQ(Count(0), QStringLiteral("10"));
    EXPECT_EQ(Count(1), QStringLiteral("3"));
    QObject* entries = List("lbEntryFile");
    QObject* sources = List("lbSourceFile");
    EXPECT_TRUE(listMove.edGrpTitleDragOver(entries, GroupName(1)));
    EXPECT_TRUE(listMove.edGrpTitleDragOver(Titles(), GroupName(8)));
    EXPECT_FALSE(listMove.edGrpTitleDragOver(entries, GroupName(0)));  // the edited group
    EXPECT_FALSE(listMove.edGrpTitleDragOver(sources, GroupName(1)));
    EXPECT_FALSE(listMove.edGrpTitleDragOver(entries, listMove.findChild<QPushButton*>("pbClose")));
    SelectSource({"ALPHA.MID"});
    editor.pbAddListClick();  // UM_GROUP_COUNTS: the edited group's count follows its entry list
    EXPECT_EQ(Count(0), QStringLiteral("11"));
}

// Was: a name longer than its box showed only its end.
TEST_F(CompanionsTest, LongGroupNameShowsItsStart) {
    SongList songs = TenAnd(0);
    songs.groupNames[1] = std::string(60, 'G');
    OpenWithCompanions(songs);
    editor.pbListMoveClick();
    EXPECT_EQ(GroupName(1)->cursorPosition(), 0);
}

TEST_F(CompanionsTest, DropMovesTheSelectionUpToNineHundredNinetyNine) {
    const struct {
        int selected;
        bool moved;
    } cases[] = {{9, true}, {10, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        OpenWithCompanions(TenAnd(990));
        editor.pbListMoveClick();
        std::vector<int> rows(c.selected);
        std::iota(rows.begin(), rows.end(), 0);
        SelectTitles({});
        for (int row : rows) Titles()->item(row)->setSelected(true);  // the title window's selection is the editor's
        const std::size_t before = messages.Messages().size();
        listMove.edGrpTitleDragDrop(Titles(), GroupName(1));
        EXPECT_EQ(Count(0), QString::number(c.moved ? 10 - c.selected : 10));
        EXPECT_EQ(Count(1), QString::number(c.moved ? 990 + c.selected : 990));
        EXPECT_EQ(editor.Modified(), c.moved);
        EXPECT_EQ(TitleRows(), EditorTitles());
        if (!c.moved) {
            EXPECT_EQ(messages.Texts().back(), QStringLiteral("リストが999を超えようとしています。"));
            EXPECT_EQ(messages.Messages().back().icon, MessageIcon::Exclamation);
        } else {
            EXPECT_EQ(messages.Messages().size(), before);
        }
        editor.hide();
    }
}

}  // namespace
}  // namespace kyro
