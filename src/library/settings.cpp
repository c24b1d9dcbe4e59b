#include "library/settings.h"

#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "platform/messagebox.h"
#include "platform/profile.h"

#include <QString>

#include <cstdlib>
#include <unistd.h>

namespace kyro {

namespace {

const char kProbeFileName[] = "TempTemp.tmp";
const char kGroupSelSaveFailed[] = "演奏対象の保存に失敗しました。";

// The group names pass through a buffer of 255 bytes and are then cut to this length.
constexpr std::size_t kGroupNameBufferBytes = 254;
constexpr std::size_t kMaxGroupNameBytes = 60;

std::string GroupKey(int g) { return "Group" + std::to_string(g + 1); }

// True when only the older version's settings file is in the program folder. The names are
// compared without regard to case, as the old file system did.
bool OnlyOldSettingsPresent(const std::string& programFolder) {
    auto entries = ListFolder(programFolder);
    if (!entries) return false;
    bool hasOld = false, hasNew = false;
    for (const auto& e : *entries) {
        if (e.isFolder) continue;
        if (EqualsIgnoringCaseCp932(e.name, kOldSettingsFileName)) hasOld = true;
        if (EqualsIgnoringCaseCp932(e.name, kSettingsFileName)) hasNew = true;
    }
    return hasOld && !hasNew;
}

bool IsDosPath(const std::string& s) {
    unsigned char d = s.empty() ? 0 : static_cast<unsigned char>(s[0]);
    bool letter = (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z');
    return s.size() >= 3 && letter && s[1] == ':' && s[2] == '\\';
}

// An environment value as a DOS folder: native paths are converted, DOS paths taken as they are.
std::optional<std::string> EnvFolderAsDos(const std::string& value) {
    if (IsDosPath(value)) return value;
    if (!value.empty() && value[0] == '/') return DosPath(value);
    return std::nullopt;
}

}  // namespace

StartupEnvironment StartupEnvironment::FromProcess() {
    StartupEnvironment env;
    for (const char* name : {"TEMP", "TMP", "TMPDIR"})
        if (const char* value = std::getenv(name)) env.vars[name] = value;
    return env;
}

std::string SettingsFilePath(const std::string& programFolder) {
    return NativePath(WithTrailingBackslash(programFolder) + kSettingsFileName).value_or(std::string());
}

std::string DefaultTempFolder(const StartupEnvironment& env, const std::string& programFolder) {
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
        auto it = env.vars.find(name);
        if (it == env.vars.end() || it->second.empty()) continue;  // set but empty counts as not set
        if (auto dos = EnvFolderAsDos(it->second)) return WithTrailingBackslash(*dos);
    }
    if (auto dos = DosPath("/tmp")) return WithTrailingBackslash(*dos);
    return WithTrailingBackslash(programFolder);
}

bool IsFolderWritable(const std::string& dosFolder) {
    if (dosFolder.empty()) return false;
    const std::string folder = WithTrailingBackslash(dosFolder);
    ProbeResult probe = ProbeNewFile(folder + kProbeFileName);
    // A file of the probe's name is there already (perhaps the user's own): leave it alone and ask
    // the same question with a name of our own.
    for (int attempt = 0; probe == ProbeResult::AlreadyExists && attempt < 100; ++attempt)
        probe = ProbeNewFile(folder + "TempTemp-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp");
    return probe == ProbeResult::Created;
}

Settings ReadStartupSettings(const std::string& programFolder, const StartupEnvironment& env) {
    Settings s;
    const bool onlyOld = OnlyOldSettingsPresent(programFolder);
    const std::string defaultTemp = DefaultTempFolder(env, programFolder);

    Profile ini(SettingsFilePath(programFolder));
    s.listRandomType = ini.ReadInt(kSettingsSection, "ListRandomType", 0);
    s.groupRandomType = ini.ReadInt(kSettingsSection, "GroupRandomType", 0);
    s.unlhaBusy = ini.ReadInt(kSettingsSection, "UnlhaBusy", 0);
    s.autoStart = ini.ReadInt(kSettingsSection, "AutoStart", 0);
    s.warningMsg = ini.ReadInt(kSettingsSection, "WarningMsg", kDefaultWarningMsg);
    s.listNumber = ini.ReadInt(kSettingsSection, "ListNumber", 0);
    s.groupSel = ini.ReadInt(kSettingsSection, "GroupSel", kAllGroups);

    // An unusable folder falls back silently and is not written back: the file keeps its value.
    s.tempFolder = WithTrailingBackslash(ini.ReadString(kSettingsSection, "TempFolder", defaultTemp));
    if (!IsFolderWritable(s.tempFolder)) s.tempFolder = defaultTemp;

    if (onlyOld) s.groupSel = 1;

    for (int g = 0; g < 9; ++g) {
        std::string name = CutCp932(ini.ReadString(kSettingsSection, GroupKey(g), GroupKey(g)), kGroupNameBufferBytes);
        s.groupNames[g] = CutCp932(name, kMaxGroupNameBytes);
    }
    return s;
}

WindowPosition ReadWindowPosition(const std::string& programFolder, const std::string& keyX,
                                  const std::string& keyY, ScreenSize screen) {
    Profile ini(SettingsFilePath(programFolder));
    WindowPosition pos{ini.ReadInt(kSettingsSection, keyX, 0), ini.ReadInt(kSettingsSection, keyY, 0)};
    // A window saved off the screen (another monitor, a smaller screen now) comes back at 0, 0.
    if (pos.x < 0 || pos.x > screen.width - 16 || pos.y < 0 || pos.y > screen.height) pos = {0, 0};
    return pos;
}

bool WriteWindowPosition(const std::string& programFolder, const std::string& keyX, const std::string& keyY,
                         WindowPosition pos) {
    Profile ini(SettingsFilePath(programFolder));
    ini.WriteInt(kSettingsSection, keyX, pos.x);
    ini.WriteInt(kSettingsSection, keyY, pos.y);
    return ini.Save();
}

namespace {

void WriteModeKeys(Profile& ini, const Settings& s) {
    ini.WriteInt(kSettingsSection, "ListRandomType", s.listRandomType);
    ini.WriteInt(kSettingsSection, "GroupRandomType", s.groupRandomType);
    ini.WriteInt(kSettingsSection, "UnlhaBusy", s.unlhaBusy);
    ini.WriteInt(kSettingsSection, "AutoStart", s.autoStart);
    ini.WriteInt(kSettingsSection, "WarningMsg", s.warningMsg);
    ini.WriteInt(kSettingsSection, "ListNumber", s.listNumber);
}

}  // namespace

bool WriteSystemSettings(const std::string& programFolder, const Settings& s) {
    Profile ini(SettingsFilePath(programFolder));
    WriteModeKeys(ini, s);
    ini.Write(kSettingsSection, "TempFolder", s.tempFolder);
    return ini.Save();
}

bool WriteListSaveSettings(const std::string& programFolder, const Settings& s) {
    Profile ini(SettingsFilePath(programFolder));
    WriteModeKeys(ini, s);
    return ini.Save();
}

bool WriteGroupSettings(const std::string& programFolder, const std::array<std::string, 9>& names, int groupSel) {
    const std::string path = SettingsFilePath(programFolder);
    Profile ini(path);
    for (int g = 0; g < 9; ++g) ini.Write(kSettingsSection, GroupKey(g), names[g]);
    bool namesSaved = ini.Save();
    // The play targets are a write of their own: the names above stay written even if it fails.
    if (!WriteProfileInt(path, kSettingsSection, "GroupSel", groupSel)) {
        ShowMessage(QString::fromUtf8(kGroupSelSaveFailed), MessageIcon::Stop);
        return false;
    }
    return namesSaved;
}

}  // namespace kyro
