#pragma once
// What the list editor's companion windows (title list, file move, list move) share: the
// stay-in-front choice "前面(&F)", which makes the editor the window's owner, and the position
// kept in KYRO32.INI, which is that of the window's frame (its outer top-left, title bar included).

#include "library/settings.h"

#include <string>

class QCheckBox;
class QWidget;

namespace kyro {

// The stay-in-front choice kept under `key` ("TitleFront", "FileFront", "ListFront"; in front
// unless 0, default 0), shown in the window's check box "前面(&F)". LoadStayInFront applies the
// kept choice (UM_LOAD_FRONT); setting the box writes nothing, as its `clicked` comes only from the
// user. StayInFrontClicked applies the box's new state and keeps it. Without a program folder
// nothing is kept: the window is not in front.
void LoadStayInFront(QWidget* window, QWidget* editor, QCheckBox* box, const std::string& programFolder,
                     const char* key);
void StayInFrontClicked(QWidget* window, QWidget* editor, const QCheckBox* box, const std::string& programFolder,
                        const char* key);

// In front: the editor becomes the window's owner, so the window always stays above it, and the
// window is raised above the main window whenever that is activated; otherwise it has no owner.
// A shown window stays shown, its frame where it was.
void SetStayInFront(QWidget* window, QWidget* editor, bool front);

// The size of the primary screen as a whole (the position check is against the full screen).
ScreenSize FullScreenSize();

// Moves the window's frame to the position kept under keyX and keyY (0, 0 when it lies off the
// screen), with its title bar on the screen.
void PlaceAtSavedPosition(QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY);
void SavePosition(const QWidget* window, const std::string& programFolder, const char* keyX, const char* keyY);

}  // namespace kyro
