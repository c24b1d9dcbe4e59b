#pragma once
// The program's windows, created once, hidden, in a fixed order, and owned as the program needs:
// the main window, the list editor, the document reader and the document list stand alone (each
// has its own taskbar entry); the group dialog and the wait dialog belong to the list editor; the
// finder and the folder selection belong to the wait dialog.

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

    TfmMid* fmMid;
    TfmMidiOpen* fmMidiOpen;
    TfmTitle* fmTitle;
    TfmDocRead* fmDocRead;
    TfmFileMove* fmFileMove;
    TfmListMove* fmListMove;
    TfmWait* fmWait;
    TfmDocList* fmDocList;
    TfmGroup* fmGroup;
    TfmFindDlg* fmFindDlg;
    TfmFileSel* fmFileSel;
};

// Program entry after the command line: creates the windows, runs the message loop, returns the
// exit code. Later starts on the same program folder reach the main window through `instance`.
int RunProgram(const AppContext& context, InstanceChannel* instance = nullptr);

}  // namespace kyro
