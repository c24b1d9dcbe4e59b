// The group set-up dialog: names within 60 bytes of CP932, the play targets, the counts of the
// editor's working copy, and the editor's names reloaded without dropping its unsaved edits.
#include "editor/editorwindow.h"

#include "editor/tfmgroup.h"
#include "platform/cp932.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

namespace kyro {
namespace {

using test::EditorWindowTest;

class GroupDialogTest : public EditorWindowTest {
protected:
    TfmGroup& OpenGroupDialog(const SongList& songs) {
        companions.group = group;
        Open(songs);
        group->SetPlayer(mid.get());
        group->SetEditor(&editor);
        group->show();
        return *group;
    }
    QLineEdit* Name(int i) const { return group->findChild<QLineEdit*>(QStringLiteral("edGrpTitle%1").arg(i)); }
    QCheckBox* Target(int i) const { return group->findChild<QCheckBox*>(QStringLiteral("cbGroup%1").arg(i)); }

    TfmGroup* group = new TfmGroup(&editor);
};

TEST_F(GroupDialogTest, NamesAreKeptWithinSixtyBytesOfCp932) {
    const std::string sixty = Utf8ToCp932(std::string(28, 'a') + "漢字漢字漢字漢字漢字漢字漢字漢字").value();  // 28 + 32
    const std::string seventy = Utf8ToCp932(std::string(59, 'b') + "漢字漢字漢").value();                      // 59 + 10
    const struct {
        QString typed;
        std::string stored;
    } cases[] = {
        {Cp932ToQString(sixty), sixty},
        {Cp932ToQString(seventy), std::string(59, 'b')},  // "漢" would pass the 60th byte
        {QStringLiteral("ｶﾗｵｹ"), Utf8ToCp932("ｶﾗｵｹ").value()},
    };
    for (const auto& c : cases) {
        OpenGroupDialog(SongList());
        Name(1)->setText(c.typed);
        group->pbOKClick();
        EXPECT_EQ(mid->Songs().groupNames[0], c.stored);
        EXPECT_EQ(ReadStartupSettings(mid->ProgramFolder(), {}).groupNames[0], c.stored);
    }
    // The 61st byte cannot be typed.
    OpenGroupDialog(SongList());
    Name(2)->clear();
    QTest::keyClicks(Name(2), QString(61, QLatin1Char('x')));
    EXPECT_EQ(Name(2)->text().size(), 60);
}

TEST_F(GroupDialogTest, ANameCp932CannotHoldIsRefusedAndNothingIsStored) {
    OpenGroupDialog(SongList());
    const std::string before = folder.Read("KYRO32.INI");
    Name(4)->setText(QStringLiteral("Café ☃ 🎵"));
    Target(2)->setChecked(false);
    group->pbOKClick();
    EXPECT_TRUE(group->isVisible());
    EXPECT_TRUE(messages.Texts().back().startsWith(QStringLiteral("グループ名に使用できない文字があります。")));
    EXPECT_EQ(mid->Songs().groupNames[3], "Group4");
    EXPECT_EQ(mid->SettingsInForce().groupSel, 0x1FF);
    EXPECT_EQ(folder.Read("KYRO32.INI"), before);
}

TEST_F(GroupDialogTest, PlayTargetsAreWrittenAndTakeEffect) {
    const struct {
        std::vector<int> checked;
        int mask;
    } cases[] = {{{1, 3, 9}, 261}, {{}, 0}};
    for (const auto& c : cases) {
        OpenGroupDialog(SongList());
        for (int i = 1; i <= 9; ++i) Target(i)->setChecked(std::find(c.checked.begin(), c.checked.end(), i) != c.checked.end());
        group->pbOKClick();
        EXPECT_EQ(mid->SettingsInForce().groupSel, c.mask);
        EXPECT_EQ(ReadStartupSettings(mid->ProgramFolder(), {}).groupSel, c.mask);
    }
}

// The counts are the working copy's; the editor's unsaved additions survive the names' reload.
TEST_F(GroupDialogTest, CountsAndTheEditorsUnsavedEdits) {
    OpenGroupDialog(Numbered(3));
    group->hide();
    SelectSource({"BETA.MID"});
    editor.pbAddListClick();
    group->show();
    EXPECT_EQ(group->findChild<MPanel*>("edListNum1")->Caption2(), QStringLiteral("3"));
    group->hide();
    QTimer::singleShot(0, [this] {
        Name(1)->setText(QStringLiteral("日本の歌"));
        group->pbOKClick();
    });
    editor.pbSelGroupClick();  // shows it modally; OK reloads the names
    EXPECT_EQ(editor.findChild<QComboBox*>("cmbGroupName")->itemText(0), QStringLiteral("日本の歌"));
    EXPECT_EQ(editor.Entries().size(), 4u);
    EXPECT_TRUE(editor.Modified());
}

}  // namespace
}  // namespace kyro
