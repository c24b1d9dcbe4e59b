// The companion windows under a real window manager (run through
// tests/support/with-window-manager.sh): stacking and frames are read from the X server, and
// windows are activated through it.
#include "editor/editorwindow.h"

#include "companions/tfmfilemove.h"
#include "companions/tfmlistmove.h"
#include "companions/tfmtitle.h"
#include "platform/profile.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <optional>

namespace kyro {
namespace {

template <typename Condition>
bool WaitUntil(Condition condition, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// The numbers an X tool prints after `label` on its line (events are handled meanwhile: the
// window manager may wait on the program).
std::vector<long> X(const QStringList& command, const QString& label = "\n") {
    QProcess tool;
    tool.start(command.first(), command.mid(1));
    WaitUntil([&] { return tool.state() == QProcess::NotRunning; }, 10000);
    const QString out = QString::fromLatin1(tool.readAllStandardOutput()), line = out.section(label, 1).section('\n', 0, 0);
    std::vector<long> numbers;
    for (const auto& n : QRegularExpression("-?(0x[0-9a-f]+|\\d+)").globalMatch(line))
        numbers.push_back(n.captured().toLong(nullptr, 0));
    return numbers;
}
QString Id(const QWidget* w) { return QString::number(w->winId()); }

std::optional<QPoint> Frame(const QWidget* w) {  // its top-left, once mapped and framed
    const auto x = X({"xwininfo", "-id", Id(w)}, "upper-left X:"), y = X({"xwininfo", "-id", Id(w)}, "upper-left Y:");
    const auto extents = X({"xprop", "-id", Id(w), "_NET_FRAME_EXTENTS"}, "=");  // left, right, top, bottom
    if (x.empty() || y.empty() || extents.size() != 4) return std::nullopt;
    return QPoint(x[0] - extents[0], y[0] - extents[2]);
}
bool Near(std::optional<QPoint> frame, QPoint expected) { return frame && (*frame - expected).manhattanLength() <= 2; }
bool Above(const QWidget* upper, const QWidget* lower) {
    const auto stack = X({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}, "#");  // bottom first
    return std::find(stack.begin(), stack.end(), long(upper->winId())) > std::find(stack.begin(), stack.end(), long(lower->winId()));
}

class StayInFrontTest : public test::EditorWindowTest {
protected:
    void SetUp() override {
        EditorWindowTest::SetUp();
        if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "no X server (with-window-manager.sh starts one)";
        for (const char* tool : {"xdotool", "xprop", "xwininfo"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is missing";
        if (!WaitUntil([] { return !X({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, "#").empty(); }))
            GTEST_SKIP() << "no window manager";
        companions = {.title = &title, .fileMove = &fileMove, .listMove = &listMove};
        Open(Numbered(3));
        title.SetListEditor(&editor);
        title.SetPlayer(mid.get());
        listMove.SetListEditor(&editor);
        listMove.SetPlayer(mid.get());
        fileMove.SetListEditor(&editor, &editor);
        fileMove.SetProgramFolder(folder.Dos());
        mid->move(560, 600);  // clear of the companions, which are kept at 0, 0
        mid->show();
        ASSERT_TRUE(WaitUntil([&] { return Frame(&editor) && Frame(mid.get()); })) << "the window manager frames no window";
    }
    // Shown by the editor's button; each click on 前面 frames it anew.
    void Show(void (TfmMidiOpen::*button)(), QWidget* w) {
        (editor.*button)();
        ASSERT_TRUE(WaitUntil([&] { return Frame(w).has_value(); }));
    }
    void ClickFront(QWidget* w) {
        const auto frameWindow = [w] { return X({"xwininfo", "-children", "-id", Id(w)}, "Parent window id:"); };
        const auto before = frameWindow();
        w->findChild<QCheckBox*>("cbStayOnTop")->click();
        ASSERT_TRUE(WaitUntil([&] { return Frame(w) && frameWindow() != before; }));
    }

    // Declared after the editor, so destroyed before it, even while it owns them.
    TfmTitle title;
    TfmFileMove fileMove;
    TfmListMove listMove;
    const struct {
        QWidget* window;
        void (TfmMidiOpen::*show)();
        const char *keyX, *keyY;
    } windows[3] = {{&title, &TfmMidiOpen::pbTitleClick, "TitlePosX", "TitlePosY"},
                    {&fileMove, &TfmMidiOpen::pbFileMoveClick, "FilePosX", "FilePosY"},
                    {&listMove, &TfmMidiOpen::pbListMoveClick, "ListPosX", "ListPosY"}};
};

// Was: the editor, activated, came above a window in front, which had no owner for the window manager.
TEST_F(StayInFrontTest, InFrontStaysAboveTheEditorAndTheMainWindow) {
    const auto activate = [](const QWidget* w) { return QStringList{"xdotool", "windowactivate", "--sync", Id(w)}; };
    const struct {
        QWidget* raised;
        QStringList command;
    } ways[] = {{&editor, activate(&editor)},
                {mid.get(), activate(mid.get())},
                {mid.get(), {"xdotool", "mousemove", "--window", Id(mid.get()), "100", "30", "click", "1"}}};
    for (const auto& w : windows) {
        Show(w.show, w.window);
        for (const bool front : {true, false}) {
            ClickFront(w.window);
            for (const auto& way : ways) {
                SCOPED_TRACE(w.window->objectName().toStdString() + (front ? " in front, " : " not, ") + way.command.join(' ').toStdString());
                X(way.command);
                EXPECT_TRUE(WaitUntil([&] { return Above(w.window, way.raised) == front; }));
            }
        }
        w.window->close();
    }
}

// Was: checking 前面 moved the window up by its title bar, off the screen, and that was kept.
TEST_F(StayInFrontTest, ToggledFrameStaysWhereItWasWhichIsWhatIsKept) {
    for (const auto& w : windows) {
        SCOPED_TRACE(w.window->objectName().toStdString());
        Show(w.show, w.window);
        for (int click = 0; click < 2; ++click) {
            ClickFront(w.window);
            EXPECT_TRUE(WaitUntil([&] { return Near(Frame(w.window), {0, 0}); })) << "click " << click;
        }
        w.window->close();
        const std::string ini = SettingsFilePath(folder.Dos());
        EXPECT_TRUE(Near(QPoint(ReadProfileInt(ini, "KYRO32", w.keyX, -1), ReadProfileInt(ini, "KYRO32", w.keyY, -1)), {0, 0}));
    }
}

// Was: a window kept at the right edge came back with its title bar's close box off the screen.
TEST_F(StayInFrontTest, KeptPositionComesBackWithTheTitleBarOnTheScreen) {
    const struct {
        int x, y;
        QPoint frame;
    } cases[] = {{0, 0, {0, 0}}, {0, -20, {0, 0}}, {990, 700, {1024 - 300, 700}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        WriteProfileInt(SettingsFilePath(folder.Dos()), "KYRO32", "ListPosX", c.x);
        WriteProfileInt(SettingsFilePath(folder.Dos()), "KYRO32", "ListPosY", c.y);
        TfmListMove window;  // 300 wide; reads the position when given the player
        window.SetPlayer(mid.get());
        window.show();
        EXPECT_TRUE(WaitUntil([&] { return Near(Frame(&window), c.frame); }));
    }
}

}  // namespace
}  // namespace kyro
