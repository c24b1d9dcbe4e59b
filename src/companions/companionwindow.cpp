#include "companions/companionwindow.h"

#include "library/playerlink.h"
#include "platform/profile.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace kyro {

namespace {

constexpr int kTitleBarReach = 24;  // of a title bar at the bottom of the screen, enough to take hold of
constexpr const char* kPlacerName = "framePlacer";
constexpr const char* kKeeperName = "aboveMainWindow";

// The frame's top-left as the window system last told it: a native window asks for the frame's
// extents anew after each change, where QWidget::pos() may keep those of an earlier frame. A
// window never shown, or closed (which ends its native window), has only pos().
QPoint FramePosition(const QWidget* window) {
    const QWindow* native = window->windowHandle();
    return native && native->handle() ? native->framePosition() : window->pos();
}

// `frameTopLeft` moved as little as needed for the frame's top edge, the title bar with its
// close box, to lie inside the available area of the window's screen.
QPoint TitleBarOnScreen(const QWidget* window, QPoint frameTopLeft) {
    const QScreen* screen = window->screen();
    if (!screen) return frameTopLeft;
    const QRect area = screen->availableGeometry();
    const int width = window->frameGeometry().width();
    return {std::clamp(frameTopLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - width)),
            std::clamp(frameTopLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - kTitleBarReach))};
}

// A window whose owner changed is unmapped, and the window manager, unframing it, leaves its
// client where the frame's corner was; Qt maps it there again as its client position, so the
// frame would come back a title bar higher. Once the window is shown and framed again (its first
// exposure), the client is moved to the frame's old corner plus the frame's new extents. Asking
// for the frame's position instead does not do: openbox refuses to put a frame where its client
// already is, taking that for an old mistake of some programs.
class FramePlacer : public QObject {
public:
    FramePlacer(QWidget* window, QPoint frameTopLeft) : QObject(window), frameTopLeft_(frameTopLeft) {
        setObjectName(kPlacerName);
        window->windowHandle()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* native = static_cast<QWindow*>(watched);
        if (event->type() != QEvent::Expose || !native->isExposed()) return false;
        const QMargins frame = native->frameMargins();
        native->setPosition(frameTopLeft_ + QPoint(frame.left(), frame.top()));
        deleteLater();
        native->removeEventFilter(this);
        return false;
    }

private:
    QPoint frameTopLeft_;
};

void PlaceFrameOnceShown(QWidget* window, QPoint frameTopLeft) {
    delete window->findChild<QObject*>(kPlacerName, Qt::FindDirectChildrenOnly);
    new FramePlacer(window, frameTopLeft);
}

// The window manager keeps an owned window above its owner, the editor, but not above the main
// window, which owns nothing: each time the main window is activated or clicked (and so raised),
// the window is raised above it again. Wayland compositors take no raise requests from a program.
class AboveMainWindow : public QObject {
public:
    AboveMainWindow(QWidget* window, QWindow* mainWindow) : QObject(window), window_(window) {
        setObjectName(kKeeperName);
        mainWindow->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        const bool raised = event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress;
        if (raised && window_->isVisible() && !window_->isMinimized()) window_->raise();
        return false;
    }

private:
    QWidget* window_;
};

// The window the player runs in.
QWindow* MainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (dynamic_cast<PlayerLink*>(window) && window->windowHandle()) return window->windowHandle();
    return nullptr;
}

void KeepAboveMainWindow(QWidget* window, bool keep) {
    QObject* keeper = window->findChild<QObject*>(kKeeperName, Qt::FindDirectChildrenOnly);
    if (!keep) {
        delete keeper;
    } else if (QWindow* mainWindow = MainWindow(); mainWindow && !keeper) {
        new AboveMainWindow(window, mainWindow);
    }
}

}  // namespace

void LoadStayInFront(QWidget* window, QWidget* editor, QCheckBox* box, const std::string& programFolder,
                     const char* key) {
    const bool front =
        !programFolder.empty() && ReadProfileInt(SettingsFilePath(programFolder), kSettingsSection, key, 0) != 0;
    box->setChecked(front);
    SetStayInFront(window, editor, front);
}

void StayInFrontClicked(QWidget* window, QWidget* editor, const QCheckBox* box, const std::string& programFolder,
                        const char* key) {
    const bool front = box->isChecked();
    SetStayInFront(window, editor, front);
    if (!programFolder.empty())
        WriteProfileInt(SettingsFilePath(programFolder), kSettingsSection, key, front ? 1 : 0);
}

void SetStayInFront(QWidget* window, QWidget* editor, bool front) {
    QWidget* owner = front ? editor : nullptr;
    KeepAboveMainWindow(window, owner != nullptr);
    if (window->parentWidget() == owner) return;
    const bool shown = window->isVisible();
    const QPoint frame = TitleBarOnScreen(window, FramePosition(window));
    // Qt's X11 platform hands the owner to the window manager (WM_TRANSIENT_FOR) only for
    // dialog-type windows; elsewhere the type changes nothing but the window's kind.
    window->setParent(owner, (window->windowFlags() & ~Qt::WindowType_Mask) | (owner ? Qt::Dialog : Qt::Window));
    if (window->windowHandle()) PlaceFrameOnceShown(window, frame);
    else window->move(frame);  // never shown: Qt places the frame there when it first shows it
    if (shown) window->show();
}

ScreenSize FullScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().width(), screen->geometry().height()};
}

void PlaceAtSavedPosition(QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY) {
    const WindowPosition pos = ReadWindowPosition(programFolder, keyX, keyY, FullScreenSize());
    window->move(TitleBarOnScreen(window, {pos.x, pos.y}));
}

void SavePosition(const QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY) {
    const QPoint frame = FramePosition(window);
    WriteWindowPosition(programFolder, keyX, keyY, {frame.x(), frame.y()});
}

}  // namespace kyro
