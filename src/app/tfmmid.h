#pragma once
// TfmMid: the main window. It owns the program-wide state for the whole run (the song list, the
// settings in force, the folders, the archive library, the environment flags) and performs the
// start-up sequence while it is being constructed.

#include "app/appcontext.h"
#include "app/playerstate.h"
#include "library/settings.h"
#include "library/songlist.h"
#include "songfiles/archivelibrary.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kyro {

class MPanel;
class Player1;

class TfmMid : public QWidget {
    Q_OBJECT
public:
    explicit TfmMid(const AppContext& context, QWidget* parent = nullptr);
    ~TfmMid() override;

    // A quit request made during start-up (no memory, no MID playback, Cancel on the invalid-line
    // question): the program ends with ExitCode() instead of running.
    bool QuitRequested() const { return quitRequested_; }
    int ExitCode() const { return exitCode_; }

    const SongList& Songs() const { return songs_; }
    const Settings& SettingsInForce() const { return settings_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& TempFolder() const { return tempFolder_; }
    PlayerState State() const { return state_; }
    bool ListEmpty() const { return listEmpty_; }
    bool RcpPlayable() const { return rcpPlayable_; }
    bool ArchiveAvailable() const { return archive_ != nullptr; }
    const ArchiveLibrary* Archive() const { return archive_.get(); }
    bool HasGM() const { return hasGM_; }
    bool Has88Pro() const { return has88Pro_; }
    bool Has88Map() const { return has88Map_; }
    bool Has55Map() const { return has55Map_; }
    unsigned RandomSeed() const { return randomSeed_; }
    Player1* Player() const { return player1_; }

private:
    void BuildLayout();
    // Start-up, in its steps; each returns false when start-up ends there.
    bool RunStartup(const AppContext& context);
    bool LocateFolders(const AppContext& context);
    bool CreateLists(const AppContext& context);
    void ReadSettings(const AppContext& context);
    void LoadList();
    bool CheckSequencerTypes();
    void CheckResetFiles();
    void LoadArchiveLibrary(const AppContext& context);
    void RequestQuit(int exitCode);

    // Song data and the settings in force.
    SongList songs_;
    std::vector<std::string> playQueue_;
    std::vector<char> lineBuffer_;
    Settings settings_;

    // Play position and state.
    int queuePos_ = 0;
    int curGroup_ = 0;
    int curIndex_ = 0;
    PlayerState state_ = PlayerState::Stopped;
    bool busy_ = false;
    bool reloadPending_ = false;
    bool testPlay_ = false;
    bool noList_ = false;
    bool listEmpty_ = false;
    bool tempCopy_ = false;
    int timerMode_ = 0;
    int countdown_ = 0;
    unsigned randomSeed_ = 0;

    // Environment, fixed after start-up.
    std::string programFolder_;  // DOS form, ends in "\"
    std::string tempFolder_;     // DOS form, ends in "\"
    bool rcpPlayable_ = false;
    std::unique_ptr<ArchiveLibrary> archive_;
    bool hasGM_ = false;
    bool has88Pro_ = false;
    bool has88Map_ = false;
    bool has55Map_ = false;

    bool quitRequested_ = false;
    int exitCode_ = 0;

    // Controls.
    MPanel* edAllList_ = nullptr;
    MPanel* edStatus_ = nullptr;
    QLabel* lblGroup_ = nullptr;
    MPanel* edGrpMode_ = nullptr;
    QLabel* lblList_ = nullptr;
    MPanel* edLstMode_ = nullptr;
    MPanel* edGroup_ = nullptr;
    MPanel* edNum_ = nullptr;
    MPanel* edFile_ = nullptr;
    MPanel* edMap_ = nullptr;
    QLineEdit* edTitle_ = nullptr;
    QPushButton* pbREW_ = nullptr;
    QPushButton* pbPLAY_ = nullptr;
    QPushButton* pbFF_ = nullptr;
    QPushButton* pbSTOP_ = nullptr;
    QPushButton* pbLIST_ = nullptr;
    QPushButton* pbSYSTEM_ = nullptr;
    QPushButton* pbBYE_ = nullptr;
    Player1* player1_ = nullptr;
    QTimer* timer1_ = nullptr;
};

}  // namespace kyro
