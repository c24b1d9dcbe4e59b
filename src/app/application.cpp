#include "app/application.h"

#include "app/mpris.h"
#include "app/singleinstance.h"
#include "app/terminationsignals.h"
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

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

namespace kyro {

ProgramWindows::ProgramWindows(const AppContext& context) : fmMid(new TfmMid(context)) {
    fmMid->SetListEditorMaker([this] { CreateCompanions(); });
}

// Windows with an owner are given it after creation, as the program entry did; the owner then
// also deletes them.
void ProgramWindows::CreateCompanions() {
    if (fmMidiOpen) return;
    fmMidiOpen = new TfmMidiOpen();
    fmTitle = new TfmTitle();
    fmDocRead = new TfmDocRead();
    fmFileMove = new TfmFileMove();
    fmListMove = new TfmListMove();
    fmWait = new TfmWait();
    fmDocList = new TfmDocList();
    fmGroup = new TfmGroup();
    fmFindDlg = new TfmFindDlg();
    fmFileSel = new TfmFileSel();
    auto own = [](QWidget* window, QWidget* owner) { window->setParent(owner, window->windowFlags()); };
    own(fmGroup, fmMidiOpen);
    own(fmWait, fmMidiOpen);
    own(fmFindDlg, fmWait);
    own(fmFileSel, fmWait);
    fmMid->SetListEditor(fmMidiOpen);
    EditorCompanions companions;
    companions.title = fmTitle;
    companions.fileMove = fmFileMove;
    companions.listMove = fmListMove;
    companions.group = fmGroup;
    companions.wait = fmWait;
    companions.docList = fmDocList;
    companions.finder = fmFindDlg;
    companions.fileSel = fmFileSel;
    companions.docRead = fmDocRead;
    fmMidiOpen->SetCompanions(companions);
    fmGroup->SetPlayer(fmMid);
    fmGroup->SetEditor(fmMidiOpen);
    fmTitle->SetListEditor(fmMidiOpen);
    fmTitle->SetPlayer(fmMid);
    fmTitle->SetTempFolderSource([mid = fmMid] { return mid->UnpackFolder(); });
    fmTitle->SetWaitDialog(fmWait);
    fmListMove->SetListEditor(fmMidiOpen);
    fmListMove->SetPlayer(fmMid);
    fmDocRead->SetEditor(fmMidiOpen);
    fmDocRead->SetWaitDialog(fmWait);
    fmDocRead->SetUnpacking([mid = fmMid] {
        return DocumentUnpacking{mid->Archive(), mid->UnpackFolder(), mid->SettingsInForce().unlhaBusy};
    });
    fmFileMove->SetListEditor(fmMidiOpen, fmMidiOpen);
    fmFileMove->SetProgramFolder(fmMid->ProgramFolder());
}

ProgramWindows::~ProgramWindows() {
    // Owned windows go with their owners; the rest in reverse order of creation.
    delete fmDocList;
    delete fmListMove;
    delete fmFileMove;
    delete fmDocRead;
    delete fmTitle;
    delete fmMidiOpen;
    delete fmMid;
}

int RunProgram(const AppContext& context, InstanceChannel* instance) {
    ProgramWindows windows(context);
    if (windows.fmMid->QuitRequested()) return windows.fmMid->ExitCode();
    // The program ends with the main window, even while the list editor or a reader is open: the
    // other windows are closed first (the companions keep their positions as they close), and one
    // that refuses is left as it is, so that the end never waits on a window.
    QObject::connect(
        windows.fmMid, &TfmMid::ProgramEnding, qApp,
        [mid = windows.fmMid](int exitCode) {
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window != mid && window->isVisible()) window->close();
            QCoreApplication::exit(exitCode);
        },
        Qt::QueuedConnection);
    new MprisService(windows.fmMid);  // the desktop's media controls, gone with the window
    // The session's end closes the program as BYE does; the player's files are written before
    // the process goes. The session manager's request to keep the data comes before the logout,
    // which may yet be cancelled: the data is kept and the program goes on.
    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::Received, windows.fmMid, &TfmMid::EndWithTheSession);
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, windows.fmMid, [mid = windows.fmMid](QSessionManager& manager) {
        const bool mayAsk = manager.allowsInteraction();  // waits for the session manager's leave
        if (!mid->CommitSessionData(mayAsk)) manager.cancel();
        if (mayAsk) manager.release();
    });
    windows.fmMid->show();
    TfmMid* mid = windows.fmMid;
    if (!context.filesToOpen.empty())
        QTimer::singleShot(0, mid, [mid, files = context.filesToOpen] { mid->OpenFiles(files); });
    if (instance)
        instance->SetHandlers([mid] { mid->RestoreFromTray(); },
                              [mid](const std::vector<std::string>& files) { mid->OpenFiles(files); });
    return QApplication::exec();
}

}  // namespace kyro
