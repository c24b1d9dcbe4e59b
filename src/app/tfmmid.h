#pragma once
// TfmMid: the main window. It owns the program-wide state for the whole run (the song list, the
// settings in force, the folders, the archive library, the environment flags) and performs the
// start-up sequence while it is being constructed.

#include "app/appcontext.h"
#include "app/playerstate.h"
#include "app/playorder.h"
#include "library/listfiles.h"
#include "library/playerlink.h"
#include "library/settings.h"
#include "library/songlist.h"
#include "platform/linkmessages.h"
#include "platform/privatetempfolder.h"
#include "sequencer/playercontrol.h"
#include "songfiles/archivelibrary.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QCloseEvent;
class QEvent;

namespace kyro {

class MPanel;
class TfmMidiOpen;
class TrayIcon;

// The reset map of a map code character: '1' to '4' name a reset file, anything else none.
constexpr int MapCodeValue(char code) { return code >= '0' && code <= '9' ? code - '0' : 0; }

class TfmMid : public QWidget, public PlayerLink {
    Q_OBJECT
public:
    explicit TfmMid(const AppContext& context, QWidget* parent = nullptr);
    ~TfmMid() override;

    // A quit request made during start-up (no memory, no MID playback, Cancel on the invalid-line
    // question): the program ends with ExitCode() instead of running.
    bool QuitRequested() const { return quitRequested_; }
    int ExitCode() const { return exitCode_; }

    const SongList& Songs() const override { return songs_; }
    const Settings& SettingsInForce() const override { return settings_; }
    const std::string& ProgramFolder() const override { return programFolder_; }
    const std::string& TempFolder() const { return tempFolder_; }
    // Where archive members are unpacked: this run's own folder inside the temporary folder
    // (the temporary folder itself where none can be made there). DOS form, ends in "\".
    const std::string& UnpackFolder() const { return unpackFolder_; }
    PlayerState State() const { return state_; }
    bool ListEmpty() const { return listEmpty_; }
    bool RcpPlayable() const override { return rcpPlayable_; }
    bool ArchiveAvailable() const { return archive_ != nullptr; }
    const ArchiveLibrary* Archive() const override { return archive_.get(); }
    bool HasGM() const { return hasGM_; }
    bool Has88Pro() const { return has88Pro_; }
    bool Has88Map() const { return has88Map_; }
    bool Has55Map() const { return has55Map_; }
    PlayerControl* Player() const { return player1_.get(); }
    const PlayOrder& Order() const { return order_; }
    bool NoList() const { return order_.NoList(); }
    int TimerMode() const { return timerMode_; }
    int Countdown() const { return countdown_; }

    // The status display. ShowCurrentSong is false when the current song is not playable; the
    // panels are then left as they were.
    bool ShowCurrentSong();
    void UpdateStatusDisplay();
    static QString MapLabel(int code);  // code 0..4, the map code's digit value

    // What the status display shows, for the desktop's media controls: the title in the box, the
    // test play under way (its DOS path), and which transport buttons can be pressed.
    struct TransportButtons {
        bool rew, play, ff, stop;
    };
    QString ShownTitle() const;
    bool TestPlaying() const { return testPlay_; }
    const std::string& TestPath() const { return testPath_; }
    TransportButtons EnabledButtons() const;
    // The song the player holds open, as the list or the test play names it; empty while it holds
    // none (or only a reset file). Its length and position are the player's.
    const std::string& OpenSongPath() const { return openSong_; }

    // Shows the window from the taskbar, the tray or another start on the same program folder.
    void RestoreFromTray();

    // Files handed to the program (native paths): the first song it can play is test-played, as
    // the list editor's test play does; the others are left alone.
    void OpenFiles(const std::vector<std::string>& nativePaths);

    // The notification-area icon: added at the end of start-up, removed when the window goes.
    TrayIcon* Tray() const { return tray_; }

    // The list editor: shown by LIST, told of titles read while it is visible, and asked before
    // the program ends. It edits this window's list.
    void SetListEditor(TfmMidiOpen* editor);
    // Makes the list editor (and gives it with SetListEditor) the first time LIST asks for it, so
    // that a player that is only listened to never builds the editor's windows.
    void SetListEditorMaker(std::function<void()> maker) { editorMaker_ = std::move(maker); }
    // Opens the list editor with its source side on a native folder.
    void OpenListEditorAt(const std::string& nativeFolder);

    // What the list editor asks of the player.
    int CurrentGroup() const override { return order_.CurGroup(); }
    int CurrentIndex() const override { return order_.CurIndex(); }
    bool Busy() const override { return busy_; }
    void SetBusy(bool busy) override { busy_ = busy; }
    bool ReplaceSongList(const SongList& edited) override;
    void SetReloadPending() override;
    void SetGroupNames(const std::array<std::string, kGroupCount>& names) override { songs_.groupNames = names; }
    void SetGroupSel(int mask) override { settings_.groupSel = mask; }
    void ApplySettings(const Settings& settings) override;

    // Playing (playback.cpp). mapCode is the digit value of a map code; other codes play no reset.
    void PlaySong(const std::string& listPath, int mapCode);
    bool PlayResetFile(int mapCode);
    void StopPlayback();
    void ShowError(const QString& text);
    void ApplyTitle(const std::string& listPath, const std::string& title);
    // A test play from the list editor, of a file it has found playable: one song outside the
    // queue, its title always read from the file.
    void StartTestPlay(const std::string& path, char mapCode) override;

    // Handlers (transport.cpp).
    void pbPLAYClick();
    void pbSTOPClick();
    void pbFFClick();
    void pbREWClick();
    void pbLISTClick();
    void pbSYSTEMClick();
    void Player1Notify(NotifyResult result);
    void OnListChanged();
    void Timer1Timer();

    // The session ends (a termination signal, the desktop's logout): the program ends as BYE ends
    // it, but asks nothing, since nobody may be there to answer: a file it cannot write is said on
    // standard error. An unsaved list in the editor stays unsaved.
    void EndWithTheSession();

    // The desktop is about to end the session and asks its programs to keep their data; the
    // logout may still be cancelled, so the program goes on running. What the close keeps (the
    // play order, the titles read while playing) is saved now, and, when the session manager lets
    // the program ask (`mayAsk`), the list editor asks about its unsaved list. False when the user
    // chose Cancel there: the logout is to be cancelled.
    bool CommitSessionData(bool mayAsk);

    // UM_LIST_CHANGED from the list editor and the system dialog.
    std::intptr_t HandleLinkMessage(LinkMessage msg, std::intptr_t wParam, const LParam& lParam) override;

signals:
    // Closing was allowed and everything that could be saved is: the program ends, whatever else
    // is open, with `exitCode` (1 when a file it keeps could not be written).
    void ProgramEnding(int exitCode);
    // The status display has been brought up to date (state, song, title or buttons may differ).
    void StatusDisplayUpdated();

protected:
    void closeEvent(QCloseEvent* event) override;   // the close query
    void changeEvent(QEvent* event) override;       // minimising hides into the tray

private:
    void SaveAndEnd(bool attended);
    bool SaveRunState(bool attended);
    void BuildLayout();
    // Start-up, in its steps; each returns false when start-up ends there.
    bool RunStartup(const AppContext& context);
    bool LocateFolders(const AppContext& context);
    bool CreateLists(const AppContext& context);
    void RecoverInterruptedSaves(const AppContext& context);
    void ReadSettings(const AppContext& context);
    void LoadList();
    bool CheckSequencerTypes();
    void CheckResetFiles();
    void LoadArchiveLibrary(const AppContext& context);
    void ShowFirstSong();
    void ArmAutoStart();
    void RequestQuit(int exitCode);
    void InstallOrderHooks();
    void ShowTitle(const QString& title);
    void ShowModeNames();
    void ClearSongPanels();
    void AddTrayIcon();
    void RemoveTrayIcon();
    void UpdateTrayTip();
    void MakePlayer(const AppContext& context);
    void UseTempFolder(const std::string& dosFolder);

    // Playback helpers.
    void SetStatusNow(const QString& text);  // shown at once, before a long step
    void FailSong(const std::string& realPath);  // a sequencer error while starting a song
    void DeleteTempCopy(const std::string& realPath);
    void PlayCurrentSong();
    void ShowCurrentOrNext();  // the current song, else the next one, else the bare state
    void ApplyPendingReload();
    void SkipSong(bool forward);
    void ClosePlayer();

    // Song data and the settings in force.
    SongList songs_;
    ListLayout listLayout_;       // the lines of the files the songs were read from
    bool titlesChanged_ = false;  // a title read while playing differs from the one loaded
    bool listFilesHoldSongs_ = true;  // false after a save that could not write the list files
    std::vector<char> lineBuffer_;
    Settings settings_;

    // Play queue, position and current song; reads songs_ and settings_ at each call.
    PlayOrder order_{songs_, settings_};

    // Player state.
    PlayerState state_ = PlayerState::Stopped;
    bool busy_ = false;
    bool reloadPending_ = false;
    bool testPlay_ = false;
    std::string testPath_;  // the song of the current test play
    char testMap_ = '0';
    bool listEmpty_ = false;
    bool tempCopy_ = false;
    std::string songFile_;  // the file the player opened last (DOS form): a temporary copy or the song
    std::string openSong_;  // see OpenSongPath
    int timerMode_ = 0;     // 1 the auto-start countdown, 2 the wait for the archive library
    int countdown_ = 0;
    std::string pendingPath_;  // the song that waits for the archive library
    int pendingMap_ = 0;

    // Environment, fixed after start-up.
    std::string programFolder_;  // DOS form, ends in "\"
    std::string tempFolder_;     // DOS form, ends in "\"
    PrivateTempFolder unpackArea_;  // this run's folder inside tempFolder_
    std::string unpackFolder_;      // DOS form, ends in "\"
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
    std::unique_ptr<PlayerControl> player1_;
    QTimer* timer1_ = nullptr;
    TrayIcon* tray_ = nullptr;
    TfmMidiOpen* editor_ = nullptr;
    std::function<void()> editorMaker_;

    friend class StatusDisplayProbe;  // tests put the window into each player state
    friend class TrayProbe;           // and with a title while playing
};

}  // namespace kyro
