#include "companions/companionwindow.h"

#include "platform/profile.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kyro {

bool ReadStayInFront(const std::string& programFolder, const char* key) {
    return ReadProfileInt(SettingsFilePath(programFolder), kSettingsSection, key, 0) != 0;
}

void WriteStayInFront(const std::string& programFolder, const char* key, bool front) {
    WriteProfileInt(SettingsFilePath(programFolder), kSettingsSection, key, front ? 1 : 0);
}

void SetStayInFront(QWidget* window, QWidget* editor, bool front) {
    QWidget* owner = front ? editor : nullptr;
    if (window->parentWidget() == owner) return;
    // A new owner hides the window and may place it anew: both are undone.
    const bool shown = window->isVisible();
    const QPoint pos = window->pos();
    window->setParent(owner, window->windowFlags());
    window->move(pos);
    if (shown) window->show();
}

ScreenSize FullScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {};
    return {screen->geometry().width(), screen->geometry().height()};
}

void PlaceAtSavedPosition(QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY) {
    const WindowPosition pos = ReadWindowPosition(programFolder, keyX, keyY, FullScreenSize());
    window->move(pos.x, pos.y);
}

void SavePosition(const QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY) {
    WriteWindowPosition(programFolder, keyX, keyY, {window->x(), window->y()});
}

}  // namespace kyro
