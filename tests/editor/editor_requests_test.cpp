// The requests the list editor serves for its companion windows, with their refusals, and the
// whole road of a new list: browsed, added, mapped, saved and taken over by the player.
#include "editor/editorwindow.h"

#include "library/listfiles.h"

#include <QListWidget>

namespace kyro {
namespace {

using test::EditorWindowTest;

class EditorRequestsTest : public EditorWindowTest {
protected:
    std::intptr_t Send(LinkMessage msg, std::intptr_t wParam = 0, LParam lParam = {}) {
        return SendLinkMessage(&editor, msg, wParam, std::move(lParam));
    }
};

TEST_F(EditorRequestsTest, UnusableObjectsAreNamedAndChangeNothing) {
    Open(Numbered(3));
    const struct {
        LinkMessage msg;
        std::intptr_t wParam;
        const char* text;
    } cases[] = {
        {LinkMessage::UM_COPY_TITLES, 0, "タイトル出力先のリストボックスが見つかりません。"},
        {LinkMessage::UM_SYNC_SELECTION, 1, "リンク先のリストボックスが見つかりません。"},
        {LinkMessage::UM_SYNC_SELECTION, 2, "リンク元のリストボックスが見つかりません。"},
        {LinkMessage::UM_GET_DOC_PATH, 0, "対象ファイルが不正です。"},
        {LinkMessage::UM_SET_TITLE, 0, "タイトル送信先が不正です。"},
        {LinkMessage::UM_COPY_GROUP_NAMES, 0, "グループ名送信先が不正です。"},
        {LinkMessage::UM_SYNC_GROUP, 1, "リンク先のリストボックスが見つかりません。"},
        {LinkMessage::UM_SYNC_GROUP, 2, "リンク元のリストボックスが見つかりません。"},
        {LinkMessage::UM_GET_ENTRY_PATH, 0, "ファイル名転送先の変数が不正です。"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Send(c.msg, c.wParam, static_cast<QListWidget*>(nullptr)), 0) << c.text;
        EXPECT_EQ(messages.Texts().back(), QString::fromUtf8(c.text));
        EXPECT_EQ(messages.Messages().back().icon, MessageIcon::Stop);
    }
    std::string path = "unchanged";
    EXPECT_EQ(Send(LinkMessage::UM_GET_ENTRY_PATH, 3, &path), 0);  // one past the last entry
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("リストボックス番号が不正です。"));
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(Send(LinkMessage::UM_GET_ENTRY_PATH, 2, &path), 1);
    EXPECT_EQ(path, "Z:\\m\\2.MID");

    QComboBox shortSelector;
    shortSelector.addItem(QStringLiteral("one"));
    Send(LinkMessage::UM_SYNC_GROUP, 2, &shortSelector);
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("リンク先のリストボックス項目数が一致しません。"));
    EXPECT_EQ(editor.EditedGroup(), 0);
    EXPECT_EQ(editor.Entries().size(), 3u);
}

TEST_F(EditorRequestsTest, TitlesSelectionsAndDocumentPaths) {
    SongList songs = Numbered(3);
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), "", '0'});
    Open(songs);
    std::string text = "Z:\\m\\1.MID;new;title";
    Send(LinkMessage::UM_SET_TITLE, 0, &text);
    EXPECT_EQ(editor.Entries()[1].title, "new;title");
    text = "Z:\\m\\1.MID";  // no ";": nothing changes
    Send(LinkMessage::UM_SET_TITLE, 0, &text);
    EXPECT_EQ(editor.Entries()[1].title, "new;title");
    EXPECT_FALSE(editor.Modified());

    QListWidget other;
    for (int i = 0; i < 6; ++i) other.addItem(QString::number(i));
    other.setSelectionMode(QAbstractItemView::MultiSelection);
    other.item(1)->setSelected(true);
    other.item(3)->setSelected(true);
    other.item(5)->setSelected(true);  // beyond the editor's entries
    Send(LinkMessage::UM_SYNC_SELECTION, 2, &other);
    EXPECT_EQ(Selected(), (std::vector<int>{1, 3}));

    Select("lbEntryFile", {3});
    editor.SetChosenDocument(0);
    editor.pbDocClick();  // the archive's one document is chosen at once
    EXPECT_EQ(editor.DocumentList(), std::vector<std::string>{"readme.txt"});
    std::string docPath;
    mid->SetBusy(true);
    EXPECT_EQ(Send(LinkMessage::UM_GET_DOC_PATH, 0, &docPath), 0);  // a long operation runs
    mid->SetBusy(false);
    EXPECT_EQ(Send(LinkMessage::UM_GET_DOC_PATH, 0, &docPath), 1);
    EXPECT_EQ(docPath, Song("PACK.LZH->readme.txt"));
}

TEST_F(EditorRequestsTest, MoveToGroupAppendsInReverseOrder) {
    Open(Numbered(10));
    Select("lbEntryFile", {2, 5, 9});
    Send(LinkMessage::UM_MOVE_TO_GROUP, 4);
    EXPECT_EQ(editor.Entries().size(), 7u);
    const SongGroup& target = editor.WorkingCopy().groups[4];
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(target.Path(0), "Z:\\m\\9.MID");
    EXPECT_EQ(target.Path(2), "Z:\\m\\2.MID");
    EXPECT_EQ(editor.findChild<MPanel*>("edFileCount")->Caption2(), QStringLiteral("7"));
    EXPECT_TRUE(editor.Modified());
}

// A new user's first list: a loose song and an archived one, a map, OK; both files are written
// in the old format and the player, busy playing, takes the new list over at the song's end.
TEST_F(EditorRequestsTest, ANewListIsSavedAndTakenOverByThePlayer) {
    SongList songs;
    songs.groups[0].Append({Song("ALPHA.MID"), "Alpha", '0'});
    Open(songs);
    mid->pbPLAYClick();
    ASSERT_EQ(mid->State(), PlayerState::Playing);
    SelectSource({"BETA.MID", "PACK.LZH->c.mid"});
    editor.pbAddListClick();
    Select("lbEntryFile", {2});
    editor.gbRbMapClick(2);
    EditorButton("pbOK")->click();
    EXPECT_FALSE(editor.isVisible());

    const std::string list = folder.Read(kListFileName);
    const std::string expectedStart = "0" + Song("ALPHA.MID") + "\r\n0" + Song("BETA.MID") + "\r\n2" + Song("PACK.LZH->c.mid") + "\r\n\r\n";
    EXPECT_EQ(list.substr(0, expectedStart.size()), expectedStart);
    for (const std::string& file : {list, folder.Read(kTitleFileName)}) {
        EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 8991);
        EXPECT_EQ(std::count(file.begin(), file.end(), '\r'), 8991);
    }
    EXPECT_NE(folder.Read(kTitleFileName).find(kUntitledMarker + "\r\n" + kUntitledMarker + "\r\n"), std::string::npos);
    EXPECT_NE(folder.Read("KYRO32.INI").find("ListNumber="), std::string::npos);

    EXPECT_EQ(mid->State(), PlayerState::Playing);  // the song plays on
    log->Clear();
    log->EndSong();
    EXPECT_EQ(Panel(*mid, "edAllList"), QStringLiteral("0002/0003"));
    EXPECT_EQ(log->commands.back(), "play notify");
}

}  // namespace
}  // namespace kyro
