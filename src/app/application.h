#pragma once
// The program's windows, created once, hidden, in a fixed order, and owned as the program needs:
// the main window, the list editor, the document reader and the document list stand alone (each
// has its own taskbar entry); the group dialog and the wait dialog belong to the list editor; the
// finder and the folder selection belong to the wait dialog.
//
// The main window is created at start; the list editor and its companions the first time LIST
// asks for them, so that a player that is only listened to costs no more than its own window.

#include "app/appcontext.h"

#include <memory>

namespace kyro {

class TfmMid;
class TfmMidiOpen;
class TfmTitle;
class TfmDocRead;
class TfmFileMove;
class TfmListMove;
class TfmWait;
class TfmDocList;
class TfmGroup;
class TfmFindDlg;
class TfmFileSel;
class InstanceChannel;

class ProgramWindows {
public:
    explicit ProgramWindows(const AppContext& context);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The list editor and its companions, wired to each other and to the main window; once.
    void CreateCompanions();

    TfmMid* fmMid;
    TfmMidiOpen* fmMidiOpen = nullptr;  // the rest are null until CreateCompanions
    TfmTitle* fmTitle = nullptr;
    TfmDocRead* fmDocRead = nullptr;
    TfmFileMove* fmFileMove = nullptr;
    TfmListMove* fmListMove = nullptr;
    TfmWait* fmWait = nullptr;
    TfmDocList* fmDocList = nullptr;
    TfmGroup* fmGroup = nullptr;
    TfmFindDlg* fmFindDlg = nullptr;
    TfmFileSel* fmFileSel = nullptr;
};

// Program entry after the command line: creates the windows, runs the message loop, returns the
// exit code. Later starts on the same program folder reach the main window through `instance`.
int RunProgram(const AppContext& context, InstanceChannel* instance = nullptr);

}  // namespace kyro
