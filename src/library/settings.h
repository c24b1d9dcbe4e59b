#pragma once
// The settings file KYRO32.INI in the program folder, section [KYRO32].

#include <array>
#include <map>
#include <string>

namespace kyro {

inline const char kSettingsFileName[] = "KYRO32.INI";
inline const char kOldSettingsFileName[] = "KYRO.ini";
inline const char kSettingsSection[] = "KYRO32";
inline constexpr int kDefaultWarningMsg = 0x2FFF;
inline constexpr int kAllGroups = 0x1FF;

// Bits of WarningMsg.
enum WarningBit : int {
    kWarnNotRcp = 0x0001,
    kWarnNoList = 0x0002,
    kWarnErrList = 0x0004,
    kWarnNotSaved = 0x0008,
    kWarnNoUnlha = 0x0010,
    kWarnNoGM = 0x0020,
    kWarnNo88Map = 0x0040,
    kWarnNo55Map = 0x0080,
    kWarnLzhFound = 0x0100,
    kWarnLzhNotFound = 0x0200,
    kWarnCantLzh = 0x0400,
    kWarnFileFound = 0x0800,
    kWarnFileNotFound = 0x1000,
    kWarnNo8PMap = 0x2000,
};

struct Settings {
    int listRandomType = 0;
    int groupRandomType = 0;
    int unlhaBusy = 0;
    int autoStart = 0;
    int warningMsg = kDefaultWarningMsg;
    int listNumber = 0;
    int groupSel = kAllGroups;
    std::string tempFolder;                      // DOS form, ending in "\"
    std::array<std::string, 9> groupNames;       // at most 60 bytes each
};

// What start-up reads besides the file: the environment's temporary-folder variables.
struct StartupEnvironment {
    std::map<std::string, std::string> vars;  // TEMP, TMP, TMPDIR as set (native or DOS form)
    static StartupEnvironment FromProcess();
};

// The native path of KYRO32.INI in a program folder (DOS form).
std::string SettingsFilePath(const std::string& programFolder);

// The default temporary folder: TEMP, TMP, TMPDIR, then "/tmp", in DOS form with a trailing "\".
std::string DefaultTempFolder(const StartupEnvironment& env, const std::string& programFolder);

// Start-up reading, in its order: older-version probe, default temporary folder, the keys,
// TempFolder with its writability test, the nine group names cut to 60 bytes.
Settings ReadStartupSettings(const std::string& programFolder, const StartupEnvironment& env);

// True when "TempTemp.tmp" can be created in the folder (DOS form, ending in "\"). The probe is
// created exclusively and removed again; a file of that name that already exists is never
// touched (the folder then counts as writable only if another probe name can be created).
bool IsFolderWritable(const std::string& dosFolder);

struct ScreenSize {
    int width = 0;
    int height = 0;
};

struct WindowPosition {
    int x = 0;
    int y = 0;
};

// Reads x and y (default 0); when x < 0, x > width - 16, y < 0 or y > height, both become 0.
WindowPosition ReadWindowPosition(const std::string& programFolder, const std::string& keyX,
                                  const std::string& keyY, ScreenSize screen);
bool WriteWindowPosition(const std::string& programFolder, const std::string& keyX, const std::string& keyY,
                         WindowPosition pos);

// System dialog OK: ListRandomType, GroupRandomType, UnlhaBusy, AutoStart, WarningMsg, ListNumber,
// TempFolder.
bool WriteSystemSettings(const std::string& programFolder, const Settings& s);
// List save: the same keys without TempFolder.
bool WriteListSaveSettings(const std::string& programFolder, const Settings& s);
// Group dialog OK: Group1..Group9, then GroupSel. A failed GroupSel write shows
// "演奏対象の保存に失敗しました。" with the stop icon; the names written before it stay.
bool WriteGroupSettings(const std::string& programFolder, const std::array<std::string, 9>& names, int groupSel);

}  // namespace kyro
