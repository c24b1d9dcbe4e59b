// The lost-file check: songs moved to another folder are found by the finder (or chosen by hand)
// and relocated with their titles and maps, the rest deleted or left; the check can be stopped;
// without the archive library the members are not looked at. After a save the player plays them.
// A folder move learnt from one relocation relocates the rest of the moved folder without a walk.
#include "editor/editorwindow.h"

#include "dialogs/tfmfilesel.h"
#include "dialogs/tfmfinddlg.h"
#include "editor/tfmgroup.h"
#include "platform/drives.h"

#include <QApplication>
#include <QSignalSpy>

#include <algorithm>
#include <deque>
#include <functional>

namespace kyro {
namespace {

using test::EditorWindowTest;

class LostFilesTest : public EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        // The moved songs, behind eight empty folders so that a walk lets events run on its way.
        for (int i = 1; i <= 8; ++i) folder.MakeFolder("a" + std::to_string(i));
        folder.Write("moved/ALPHA2.MID", test::MidiWithName("Alpha two"));
        ASSERT_TRUE(test::WriteLzh(folder.Native("moved/PACK2.LZH"), {{"c.mid", "", test::MidiWithName("C"), 2}}));
        companions.group = group;
        companions.finder = new TfmFindDlg(wait);
        companions.fileSel = new TfmFileSel(wait);
        QObject::connect(&answerTimer, &QTimer::timeout, [this] { AnswerDialog(); });
        answerTimer.start(0);
        savedDrives = ActiveDriveMap();
    }
    void TearDown() override {
        SetActiveDriveMap(savedDrives);
        EditorWindowTest::TearDown();
    }

    // Old lists name the songs in D:\old\, which is gone. D: is the program folder, and the
    // only drive the finder walks.
    std::string Old(const std::string& name) const { return "D:\\old\\" + name; }
    void OpenOnOldList(const std::vector<SongEntry>& entries, int warningMsg) {
        SongList songs;
        for (const auto& e : entries) songs.groups[0].Append(e);
        Open(songs, "[KYRO32]\r\nListRandomType=3\r\nGroupRandomType=2\r\nWarningMsg=" + std::to_string(warningMsg) +
                        "\r\n[Drives]\r\nD=" + folder.Native() + "\r\n");
        DriveMap drives;
        drives.Set('D', folder.Native());
        SetActiveDriveMap(drives);
        group->SetPlayer(mid.get());
        group->SetEditor(&editor);
    }

    // The next showing of the dialog with this form name gets this answer.
    void WhenShown(const char* form, std::function<void(QDialog*)> answer) { answers.push_back({form, std::move(answer)}); }
    void AnswerDialog() {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (answers.empty() || !dialog || dialog->objectName() != QLatin1String(answers.front().first)) return;
        auto answer = std::move(answers.front().second);
        answers.pop_front();
        answer(dialog);
    }
    static void Click(QDialog* dialog, const char* button) {
        dialog->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    }

    std::vector<std::string> Paths(int g = 0) const {
        std::vector<std::string> paths;
        for (int i = 0; i < editor.WorkingCopy().groups[g].Count(); ++i) paths.push_back(editor.WorkingCopy().groups[g].Path(i));
        return paths;
    }

    // A collection that lived in D:\old\GAME\ and now lives in D:\newhome\GAME\, one name there
    // in another case, a song in a subfolder, and one inside an archive.
    void OpenOnMovedCollection(int warningMsg, std::vector<SongEntry> more = {}) {
        folder.Write("newhome/GAME/A.MID", test::MidiWithName("A"));
        folder.Write("newhome/GAME/b.mid", test::MidiWithName("B"));
        folder.Write("newhome/GAME/SUB/C.MID", test::MidiWithName("C"));
        ASSERT_TRUE(test::WriteLzh(folder.Native("newhome/GAME/PACK3.LZH"), {{"c.mid", "", test::MidiWithName("C"), 2}}));
        std::vector<SongEntry> entries = {{Old("GAME\\A.MID"), "t-a", '1'},
                                          {Old("GAME\\B.MID"), "t-b", '2'},
                                          {Old("GAME\\SUB\\C.MID"), "t-c", '3'},
                                          {Old("GAME\\PACK3.LZH->c.mid"), "t-p", '4'}};
        entries.insert(entries.end(), more.begin(), more.end());
        OpenOnOldList(entries, warningMsg);
    }
    static QString MoveQuestion(int n) {
        return QStringLiteral("同じ移動を残りの迷子ファイル %1 件にも適用しますか？").arg(n);
    }

    TfmGroup* group = new TfmGroup(&editor);
    DriveMap savedDrives;
    QTimer answerTimer;
    std::deque<std::pair<const char*, std::function<void(QDialog*)>>> answers;
};

TEST_F(LostFilesTest, MovedSongsAreRelocatedTheRestDeletedOrLeftAndThePlayerPlaysThem) {
    OpenOnOldList({{Old("ALPHA2.MID"), "t-alpha", '3'},
                   {Old("PACK2.LZH->c.mid"), "t-c", '2'},
                   {Old("GONE.MID"), "", '0'},
                   {Old("GONE2.MID"), "", '0'},
                   {"D:\\BETA.MID", "Beta", '0'}},
                  kWarnFileNotFound);
    messages.Answer(ModalResult::Yes);  // delete GONE.MID
    messages.Answer(ModalResult::No);   // keep GONE2.MID
    group->pbLinkClick();

    const std::string moved = "D:\\moved\\";
    EXPECT_EQ(Paths(), (std::vector<std::string>{moved + "ALPHA2.MID", moved + "PACK2.LZH->c.mid", Old("GONE2.MID"),
                                                 "D:\\BETA.MID"}));
    EXPECT_EQ(editor.WorkingCopy().groups[0].Entry(0).title, "t-alpha");
    EXPECT_EQ(editor.WorkingCopy().groups[0].Map(1), '2');
    EXPECT_EQ(messages.Texts().back(),
              QStringLiteral("迷子ファイルの調査を終了しました。\nまだ迷子ファイルがあります。\n削除したリストがあります。"
                             "\nD:\\old\\ → D:\\moved\\ : 1 曲"));  // the archive, by the move ALPHA2 taught
    EXPECT_EQ(editor.Entries().size(), 4u);  // the list boxes show the checked group
    EXPECT_TRUE(editor.Modified());
    EXPECT_EQ(mid->Songs().groups[0].Count(), 5) << "nothing is saved before the user saves";
    EXPECT_FALSE(wait->isVisible());
    EXPECT_TRUE(group->isEnabled());

    EditorButton("pbOK")->click();
    log->Clear();
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands.back(), "play notify");
    EXPECT_NE(std::find(log->commands.begin(), log->commands.end(), "open ALPHA2.MID"), log->commands.end());
}

// Retry in the finder asks through the folder selection dialog, for that entry and the next;
// Retry there would come back.
TEST_F(LostFilesTest, RetrySwitchesToTheFolderSelectionAndStaysThere) {
    OpenOnOldList({{Old("ALPHA2.MID"), "t", '1'}, {Old("GONE.MID"), "", '0'}}, 0);
    WhenShown("fmFindDlg", [](QDialog* finder) { Click(finder, "pbSelf"); });
    WhenShown("fmFileSel", [this](QDialog* fileSel) {
        fileSel->findChild<FolderTree*>("lvFolder")->SetFolder("D:\\moved");
        Click(fileSel, "pbOK");
    });
    WhenShown("fmFileSel", [](QDialog* fileSel) { Click(fileSel, "pbCancel"); });  // not found: deleted
    group->pbLinkClick();
    EXPECT_TRUE(answers.empty());
    EXPECT_EQ(Paths(), std::vector<std::string>{"D:\\moved\\ALPHA2.MID"});
}

TEST_F(LostFilesTest, EndStopsTheCheckPartWay) {
    OpenOnOldList({{Old("GONE.MID"), "", '0'}, {Old("ALPHA2.MID"), "", '0'}}, 0);
    WhenShown("fmFindDlg", [](QDialog* finder) { Click(finder, "pbEnd"); });
    group->pbLinkClick();
    EXPECT_EQ(Paths(), (std::vector<std::string>{Old("GONE.MID"), Old("ALPHA2.MID")}));
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("迷子ファイルの調査を中断しました。"));
    EXPECT_FALSE(editor.Modified());
}

TEST_F(LostFilesTest, WithoutTheArchiveLibraryMembersAreNotLookedAt) {
    archiveFolder = folder.Native();  // no library there
    OpenOnOldList({{"D:\\moved\\PACK2.LZH->nothere.mid", "", '0'}, {"D:\\moved\\PACK2.LZH->c.mid", "", '0'}}, kWarnCantLzh);
    group->pbLinkClick();
    EXPECT_EQ(messages.Texts(), (std::vector<QString>{
                                    QStringLiteral("UNLHA32.DLLがロードされていません。\nLZHﾌｧｲﾙの検索は行いますが、\nLZH内のﾌｧｲﾙは検索しません。"),
                                    QStringLiteral("迷子ファイルの調査を終了しました。")}));
    EXPECT_EQ(Paths().size(), 2u);
}

// The finder's questions and the move's are answered in order; movedLine: the summary tells what
// the move relocated.
struct MoveCase {
    const char* name;
    int warningMsg;
    std::vector<ModalResult> answers;
    int finderShowings, questions;
    bool movedLine;
};

class LostFileMoveTest : public LostFilesTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(LostFileMoveTest, OneFindRelocatesTheRestOfTheMovedFolderAfterOneQuestion) {
    const MoveCase& c = GetParam();
    for (ModalResult answer : c.answers) messages.Answer(answer);
    OpenOnMovedCollection(c.warningMsg);
    QSignalSpy finder(companions.finder, &QDialog::finished);
    group->pbLinkClick();

    const std::string moved = "D:\\newhome\\GAME\\";
    EXPECT_EQ(Paths(), (std::vector<std::string>{moved + "A.MID", moved + "B.MID", moved + "SUB\\C.MID",
                                                 moved + "PACK3.LZH->c.mid"}));
    EXPECT_EQ(editor.WorkingCopy().groups[0].Title(3), "t-p");
    EXPECT_EQ(editor.WorkingCopy().groups[0].Map(3), '4');
    EXPECT_EQ(finder.count(), c.finderShowings);
    const auto texts = messages.Texts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), MoveQuestion(3)), c.questions);
    EXPECT_EQ(texts.back(), QStringLiteral("迷子ファイルの調査を終了しました。") +
                                (c.movedLine ? QStringLiteral("\nD:\\old\\ → D:\\newhome\\ : 3 曲") : QString()));
}

constexpr int kAskFinds = kWarnFileFound | kWarnLzhFound;
INSTANTIATE_TEST_SUITE_P(
    Answers, LostFileMoveTest,
    ::testing::Values(MoveCase{"Yes", kAskFinds, {ModalResult::Yes, ModalResult::Yes}, 1, 1, true},
                      MoveCase{"No_TheFinderForEach", kAskFinds,
                               {ModalResult::Yes, ModalResult::No, ModalResult::Yes, ModalResult::Yes, ModalResult::Yes},
                               4, 1, false},
                      MoveCase{"AskedForTheArchiveMemberOnly", kWarnLzhFound, {ModalResult::Yes}, 1, 1, true},
                      MoveCase{"FindsTakenWithoutAsking", 0, {}, 1, 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A move stays learnt for later checks: a song that was not there yet is relocated by it then.
TEST_F(LostFilesTest, AMoveIsKeptForLaterChecks) {
    OpenOnMovedCollection(kWarnFileFound | kWarnFileNotFound, {{Old("GAME\\LATE.MID"), "t-late", '1'}});
    messages.Answer(ModalResult::Yes);  // the finder's find of A.MID
    messages.Answer(ModalResult::Yes);  // the move, for B, C and the archive
    messages.Answer(ModalResult::No);   // LATE.MID is nowhere yet: keep it
    group->pbLinkClick();
    ASSERT_EQ(Paths().back(), Old("GAME\\LATE.MID"));

    folder.Write("newhome/GAME/LATE.MID", test::MidiWithName("Late"));
    QSignalSpy finder(companions.finder, &QDialog::finished);
    group->pbLinkClick();
    EXPECT_EQ(Paths().back(), "D:\\newhome\\GAME\\LATE.MID");
    EXPECT_EQ(finder.count(), 0);
    EXPECT_EQ(messages.Texts().back(),
              QStringLiteral("迷子ファイルの調査を終了しました。\nD:\\old\\ → D:\\newhome\\ : 1 曲"));
}

}  // namespace
}  // namespace kyro
