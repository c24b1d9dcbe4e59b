// The main window's layout and the creation and ownership of the program's windows.
#include "app/application.h"
#include "app/tfmmid.h"
#include "companions/tfmfilemove.h"
#include "companions/tfmlistmove.h"
#include "companions/tfmtitle.h"
#include "dialogs/tfmdoclist.h"
#include "dialogs/tfmdocread.h"
#include "dialogs/tfmfilesel.h"
#include "dialogs/tfmfinddlg.h"
#include "dialogs/tfmwait.h"
#include "editor/tfmgroup.h"
#include "editor/tfmmidiopen.h"
#include "sequencer/player.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace kyro {
namespace {

AppContext ContextFor(const test::TempFolder& folder) {
    AppContext context;
    context.programFolderNative = folder.Native();
    context.exeFolderNative = folder.Native();
    return context;
}

class LayoutTest : public ::testing::Test {
protected:
    test::TempFolder folder;
    test::MessageRecorder messages;
};

TEST_F(LayoutTest, MainWindowControlsStandWhereTheyBelong) {
    TfmMid mid(ContextFor(folder));
    EXPECT_EQ(mid.windowTitle(), QStringLiteral("Kyrotune LZH 95/NT Ver 2.52"));
    EXPECT_EQ(mid.size(), QSize(452, 109));
    EXPECT_EQ(mid.minimumSize(), mid.maximumSize());  // fixed border
    EXPECT_TRUE(mid.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(mid.windowFlags() & Qt::WindowMaximizeButtonHint);

    const std::pair<const char*, QRect> geometry[] = {
        {"edAllList", {4, 3, 68, 18}},    {"edStatus", {75, 3, 93, 18}},   {"edGrpMode", {219, 3, 83, 18}},
        {"edLstMode", {339, 3, 110, 18}}, {"edGroup", {4, 24, 445, 18}},   {"edNum", {4, 45, 26, 18}},
        {"edFile", {33, 45, 394, 18}},    {"edMap", {430, 45, 19, 18}},    {"edTitle", {4, 66, 445, 21}},
        {"pbREW", {6, 91, 32, 16}},       {"pbPLAY", {49, 91, 48, 16}},    {"pbFF", {109, 91, 32, 16}},
        {"pbSTOP", {153, 91, 32, 16}},    {"pbLIST", {272, 91, 53, 17}},   {"pbSYSTEM", {337, 91, 53, 17}},
        {"pbBYE", {401, 91, 41, 17}},
    };
    for (const auto& [name, rect] : geometry) {
        auto* w = mid.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->geometry(), rect) << name;
    }
    EXPECT_EQ(mid.findChild<QWidget*>("lblGroup")->pos(), QPoint(179, 5));
    EXPECT_EQ(mid.findChild<QWidget*>("lblList")->pos(), QPoint(309, 5));
    EXPECT_TRUE(mid.findChild<QLineEdit*>("edTitle")->isReadOnly());
    EXPECT_EQ(mid.findChild<QPushButton*>("pbLIST")->text(), QStringLiteral("&LIST"));
    EXPECT_EQ(mid.findChild<QPushButton*>("pbSYSTEM")->text(), QStringLiteral("SYST&EM"));
    EXPECT_EQ(mid.findChild<QPushButton*>("pbBYE")->text(), QStringLiteral("&BYE"));
    EXPECT_EQ(mid.findChild<QPushButton*>("pbPLAY")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_P));

    auto* timer = mid.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
    EXPECT_NE(dynamic_cast<Player1*>(mid.Player()), nullptr);  // the real sequencer unless a test hands in another
}

TEST_F(LayoutTest, TabOrderRunsThroughTheSevenButtons) {
    TfmMid mid(ContextFor(folder));
    const char* order[] = {"pbREW", "pbPLAY", "pbFF", "pbSTOP", "pbLIST", "pbSYSTEM", "pbBYE"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        auto* w = mid.findChild<QWidget*>(order[i]);
        EXPECT_EQ(w->nextInFocusChain()->objectName(), QString::fromLatin1(order[i + 1])) << order[i];
    }
}

TEST_F(LayoutTest, FontIsMinchoThirteenPixels) {
    TfmMid mid(ContextFor(folder));
    EXPECT_EQ(mid.font().pixelSize(), 13);
    EXPECT_EQ(QFontInfo(mid.font()).family(), QStringLiteral("IPAMincho"));
}

TEST_F(LayoutTest, WindowsAreCreatedHiddenWithTheirCaptionsAndOwners) {
    ProgramWindows windows(ContextFor(folder));
    // The companions wait for LIST, which makes them once.
    EXPECT_EQ(windows.fmMidiOpen, nullptr);
    auto* list = windows.fmMid->findChild<QPushButton*>(QStringLiteral("pbLIST"));
    for (int i = 0; i < 2; ++i) {
        list->click();
        ASSERT_NE(windows.fmMidiOpen, nullptr);
        EXPECT_TRUE(windows.fmMidiOpen->isVisible());
        windows.fmMidiOpen->hide();
    }
    EXPECT_EQ(windows.fmMidiOpen->findChildren<TfmGroup*>().size(), 1);
    const std::pair<QWidget*, const char*> captions[] = {
        {windows.fmMidiOpen, "File List"},  {windows.fmTitle, "Title"},
        {windows.fmDocRead, "Document Reader"}, {windows.fmFileMove, "File Move"},
        {windows.fmListMove, "List Move"},  {windows.fmWait, "Just a Moment ..."},
        {windows.fmDocList, "Document List"}, {windows.fmGroup, "Group"},
        {windows.fmFindDlg, "File Sertch"}, {windows.fmFileSel, "File Select"},
    };
    for (const auto& [window, caption] : captions) {
        EXPECT_EQ(window->windowTitle(), QString::fromLatin1(caption));
        EXPECT_FALSE(window->isVisible()) << caption;
        EXPECT_TRUE(window->isWindow()) << caption;
    }
    EXPECT_FALSE(windows.fmMid->isVisible());
    // Stand-alone windows have no owner; dialogs belong to the editor or to the wait dialog.
    EXPECT_EQ(windows.fmMid->parentWidget(), nullptr);
    EXPECT_EQ(windows.fmMidiOpen->parentWidget(), nullptr);
    EXPECT_EQ(windows.fmDocRead->parentWidget(), nullptr);
    EXPECT_EQ(windows.fmDocList->parentWidget(), nullptr);
    EXPECT_EQ(windows.fmGroup->parentWidget(), windows.fmMidiOpen);
    EXPECT_EQ(windows.fmWait->parentWidget(), windows.fmMidiOpen);
    EXPECT_EQ(windows.fmFindDlg->parentWidget(), windows.fmWait);
    EXPECT_EQ(windows.fmFileSel->parentWidget(), windows.fmWait);
    EXPECT_TRUE(windows.fmDocRead->windowFlags() & Qt::WindowStaysOnTopHint);
    // The finder asks the window manager for a close box alone, and cannot be resized.
    const Qt::WindowFlags finder = windows.fmFindDlg->windowFlags();
    EXPECT_TRUE(finder & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(finder & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(windows.fmFindDlg->minimumSize(), windows.fmFindDlg->maximumSize());
}

}  // namespace
}  // namespace kyro
