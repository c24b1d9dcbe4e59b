// The tray icon in a real tray host (run through tests/support/with-window-manager.sh
// --tray-host): the main window minimised into the tray, brought back with a double-click on the
// icon, and closed with a right double-click, by real clicks on the icon.
#include "app/tfmmid.h"
#include "playerwindow.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSystemTrayIcon>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kyro {
namespace {

template <typename Condition>
bool WaitUntil(Condition condition, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return condition();
}

// Two clicks of a mouse button on the middle of `area` of the screen, through the X server.
bool DoubleClick(const QRect& area, int button) {
    const QPoint c = area.center();
    // The pointer settles on the icon before the clicks, which the icon then takes as a pair.
    const std::string command = "xdotool mousemove --sync " + std::to_string(c.x()) + " " + std::to_string(c.y()) +
                                " sleep 0.3 click --repeat 2 --delay 80 " + std::to_string(button);
    return std::system(command.c_str()) == 0;
}

class TrayHostTest : public test::PlayerWindowTest {};

TEST_F(TrayHostTest, MinimisedIntoTheTrayBackWithADoubleClickClosedWithARightDoubleClick) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) GTEST_SKIP() << "no tray host (with-window-manager.sh --tray-host starts one)";
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is missing";
    auto mid = Start(ThreeSongs());
    bool ended = false;
    QObject::connect(mid.get(), &TfmMid::ProgramEnding, [&] { ended = true; });
    mid->show();
    ASSERT_TRUE(WaitUntil([&] { return mid->windowHandle() && mid->windowHandle()->isExposed(); }));
    const auto* icon = mid->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return icon->isVisible() && !icon->geometry().isEmpty(); }))
        << "visible " << icon->isVisible() << ", at " << icon->geometry().x() << "," << icon->geometry().y() << " size " << icon->geometry().width();

    mid->showMinimized();
    ASSERT_TRUE(WaitUntil([&] { return !mid->isVisible(); })) << "the window did not go into the tray";
    if (const char* shot = std::getenv("KYRO_TRAY_SHOT"))  // the tray with the icon in it, to look at
        std::system(("import -window root '" + std::string(shot) + "'").c_str());

    WaitUntil([] { return false; }, 500);  // the window manager done with the minimised window
    // A synthetic click can be lost while the host docks the icon anew; one more try then.
    const auto back = [&] { return mid->isVisible() && !mid->isMinimized(); };
    for (int attempt = 0; attempt < 2 && !back(); ++attempt) {
        ASSERT_TRUE(DoubleClick(icon->geometry(), 1));
        WaitUntil(back, 4000);
    }
    ASSERT_TRUE(back()) << "a double-click did not bring it back (icon at " << icon->geometry().x() << ","
                        << icon->geometry().y() << ")";

    for (int attempt = 0; attempt < 2 && !ended; ++attempt) {
        ASSERT_TRUE(DoubleClick(icon->geometry(), 3));
        WaitUntil([&] { return ended; }, 4000);
    }
    EXPECT_TRUE(ended) << "a right double-click did not close it";
}

}  // namespace
}  // namespace kyro
