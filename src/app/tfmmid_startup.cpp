// The main window's start-up sequence: settings, song list, the sequencer's file types, the reset
// files and the archive library, each with its messages; then the first song shown (resuming the
// saved queue where the modes allow it) and the auto-start countdown.
#include "app/tfmmid.h"

#include "app/resumestate.h"
#include "editor/tfmmidiopen.h"
#include "library/listfiles.h"
#include "platform/cp932.h"
#include "platform/drives.h"
#include "platform/filereplace.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "sequencer/player.h"
#include "widgets/mpanel.h"

#include <QTimer>

#include <new>
#include <stdexcept>

namespace kyro {

namespace {

struct ResetFileCheck {
    const char* name;
    int warningBit;
    const char* message;
    bool TfmMid::*flag;
};

}  // namespace

bool TfmMid::RunStartup(const AppContext& context) {
    // Step 1: every field starts cleared (member initialisers); the message caption is fixed.
    if (!LocateFolders(context)) return false;                // step 2
    RecoverInterruptedSaves(context);
    if (!CreateLists(context)) return false;                  // step 3
    ReadSettings(context);                                    // step 4
    LoadList();                                               // steps 5 and 6
    if (!CheckSequencerTypes()) return false;                 // step 7
    CheckResetFiles();                                        // step 8
    LoadArchiveLibrary(context);                              // step 9
    order_.SetEnvironment(ArchiveAvailable(), rcpPlayable_);
    state_ = PlayerState::Stopped;                            // step 10
    order_.SeedFromClock();
    order_.SetQuietWithoutSongs(context.newProgramFolder);
    ShowFirstSong();                                          // step 11
    ArmAutoStart();                                           // step 12
    AddTrayIcon();                                            // step 13
    if (context.newProgramFolder && listEmpty_) {
        // A first start: where to add songs is the first thing to see, once the window is up.
        QTimer::singleShot(0, this, [this, folder = context.musicFolderNative] { OpenListEditorAt(folder); });
    }
    return true;
}

void TfmMid::InstallOrderHooks() {
    PlayOrderHooks hooks;
    hooks.showCurrentSong = [this] { return ShowCurrentSong(); };
    hooks.showWarning = [this] {
        if (state_ == PlayerState::Stopped) UpdateStatusDisplay();
    };
    hooks.setStopped = [this] { state_ = PlayerState::Stopped; };
    order_.SetHooks(std::move(hooks));
}

// Continues the saved queue, builds a new one, or keeps the first song of Group1 (RANDOM in
// both modes: the first random pick comes when that song is over).
void TfmMid::ShowFirstSong() {
    const ResumeAction action = DecideResume(listEmpty_, settings_.groupRandomType, settings_.listRandomType);
    bool build = action == ResumeAction::Build;
    if (action == ResumeAction::Resume) build = !order_.Resume(LoadResumeState(programFolder_, songs_));
    if (build && !order_.BuildPlayQueue()) {
        UpdateStatusDisplay();
        return;
    }
    if (!ShowCurrentSong() && !order_.NextSong()) UpdateStatusDisplay();
}

void TfmMid::ArmAutoStart() {
    if (order_.NoList() || settings_.autoStart <= 0) return;
    timerMode_ = 1;
    countdown_ = settings_.autoStart;
    timer1_->start();
    edStatus_->SetCaption(QStringLiteral("Rest %1s").arg(countdown_));
    state_ = PlayerState::Resting;
    UpdateStatusDisplay();
}

bool TfmMid::LocateFolders(const AppContext& context) {
    // The drive map comes first: the program folder's own DOS name depends on it.
    DriveMap drives = DriveMap::Default();
    drives.LoadOverrides(context.programFolderNative + "/" + kSettingsFileName);
    SetActiveDriveMap(drives);

    auto dos = ActiveDriveMap().ToDos(context.programFolderNative);
    if (!dos) {
        ShowMessage(QStringLiteral("プログラムフォルダ %1 の名前を扱えません。\n終了します。")
                        .arg(QString::fromStdString(context.programFolderNative)),
                    MessageIcon::Stop);
        RequestQuit(1);
        return false;
    }
    programFolder_ = WithTrailingBackslash(*dos);
    tempFolder_ = unpackFolder_ = programFolder_;
    return true;
}

bool TfmMid::CreateLists(const AppContext& context) {
    try {
        songs_ = SongList();
        lineBuffer_.reserve(context.lineBufferBytes);
    } catch (const std::bad_alloc&) {
        lineBuffer_ = {};
    } catch (const std::length_error&) {
        lineBuffer_ = {};
    }
    if (lineBuffer_.capacity() >= context.lineBufferBytes) return true;
    ShowMessage(QStringLiteral("リストを読み込む為のメモリを確保出来ませんでした。\n終了します。"), MessageIcon::Stop);
    RequestQuit(1);
    return false;
}

void TfmMid::ReadSettings(const AppContext& context) {
    settings_ = ReadStartupSettings(programFolder_, context.env);
    MakePlayer(context);
    songs_.groupNames = settings_.groupNames;
    UseTempFolder(settings_.tempFolder);
}

// Unpacked members go into a folder of this run's own, made anew when the temporary folder
// changes (the old one goes with what is left in it); the folders of runs that were killed go
// when the next run makes its own.
void TfmMid::UseTempFolder(const std::string& dosFolder) {
    if (dosFolder == tempFolder_ && unpackArea_.Made()) return;
    tempFolder_ = dosFolder;
    const auto native = NativePath(dosFolder);
    unpackArea_ = native ? PrivateTempFolder(*native) : PrivateTempFolder();
    unpackFolder_ = unpackArea_.Made() ? dosFolder + unpackArea_.Name() + "\\" : dosFolder;
}

// The player reads the output it plays through from the settings file's [MIDI] section.
void TfmMid::MakePlayer(const AppContext& context) {
    const std::string settingsFile = SettingsFilePath(programFolder_);
    if (context.makePlayer) {
        player1_ = context.makePlayer(settingsFile);
    } else {
        auto player = std::make_unique<Player1>();
        player->SetSettingsFile(settingsFile);
        player1_ = std::move(player);
    }
    player1_->SetNotifyHandler([this](NotifyResult result) { Player1Notify(result); });
}

// A run that was killed while saving may have left a save half done and temporary files: the
// files are made whole (the old or the new list with its titles) before anything reads them.
void TfmMid::RecoverInterruptedSaves(const AppContext& context) {
    RecoverInterruptedWrites(programFolder_, {kSettingsFileName, kListFileName, kTitleFileName, kResumeFileName},
                             context.soleWriter ? FolderAccess::SoleWriter : FolderAccess::Shared);
}

void TfmMid::LoadList() {
    ListLoadResult loaded = LoadSongList(programFolder_, settings_.warningMsg, songs_);
    listLayout_ = std::move(loaded.layout);
    if (loaded.quitRequested) RequestQuit(0);
    listEmpty_ = songs_.Empty();
}

bool TfmMid::CheckSequencerTypes() {
    const std::string ini = SettingsFilePath(programFolder_);
    if (SequencerDeviceForType(ini, "mid").empty()) {
        ShowMessage(QStringLiteral("拡張子「MID」を演奏出来ません。"), MessageIcon::Stop);
        lineBuffer_ = {};
        RequestQuit(1);
        return false;
    }
    rcpPlayable_ = !SequencerDeviceForType(ini, "rcp").empty();
    if (!rcpPlayable_ && (settings_.warningMsg & kWarnNotRcp))
        ShowMessage(QStringLiteral("拡張子「RCP」を演奏出来ません。"), MessageIcon::Information);
    return true;
}

void TfmMid::CheckResetFiles() {
    static const ResetFileCheck kChecks[] = {
        {"GM.MID", kWarnNoGM, "GM.MID が見つかりません。\nGM-SYSTEM-ON を行いません。", &TfmMid::hasGM_},
        {"88Pro.MID", kWarnNo8PMap, "88Pro.MID が見つかりません。\nGS/88ProMAP を行いません。", &TfmMid::has88Pro_},
        {"88MAP.MID", kWarnNo88Map, "88MAP.MID が見つかりません。\nGS/88MAP を行いません。", &TfmMid::has88Map_},
        {"55MAP.MID", kWarnNo55Map, "55MAP.MID が見つかりません。\nGS/55MAP を行いません。", &TfmMid::has55Map_},
    };
    for (const auto& check : kChecks) {
        this->*check.flag = FileExists(programFolder_ + check.name);
        if (!(this->*check.flag) && (settings_.warningMsg & check.warningBit))
            ShowMessage(QString::fromUtf8(check.message), MessageIcon::Information);
    }
}

void TfmMid::LoadArchiveLibrary(const AppContext& context) {
    auto native = NativePath(programFolder_);
    auto result = ArchiveLibrary::Load(context.exeFolderNative, native.value_or(context.programFolderNative),
                                       context.archiveLibraryFile);
    switch (result.status) {
    case ArchiveLibrary::Status::Loaded:
        archive_ = std::move(result.library);
        archive_->UseActiveDriveMap();
        break;
    case ArchiveLibrary::Status::NotFound:
        if (settings_.warningMsg & kWarnNoUnlha)
            ShowMessage(QStringLiteral("UNLHA32.DLLがロードできません。\nLZH内のﾌｧｲﾙは演奏できません。"),
                        MessageIcon::Information);
        break;
    case ArchiveLibrary::Status::MissingFunction:
        if (settings_.warningMsg != 0)
            ShowMessage(QString::fromStdString(result.failureName) +
                            QStringLiteral("\nUNLHA32.DLL の Version を確認して下さい。\n\n"
                                           "このアプリケーションは Version 0.40 以上推奨です。"),
                        MessageIcon::Information);
        break;
    }
}

void TfmMid::OpenListEditorAt(const std::string& nativeFolder) {
    if (!editor_ && editorMaker_) editorMaker_();
    if (!editor_) return;
    if (const auto dos = DosPath(nativeFolder)) editor_->StartSourceAt(*dos);
    pbLISTClick();
}

void TfmMid::RequestQuit(int exitCode) {
    if (quitRequested_) return;
    quitRequested_ = true;
    exitCode_ = exitCode;  // the program entry ends the program with it instead of running
}

}  // namespace kyro
