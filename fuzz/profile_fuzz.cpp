// libFuzzer target for the profile (INI) reader and the settings read at start-up from KYRO32.INI:
// any bytes as KYRO32.INI. Besides ending without a crash:
// - every key a section lists has a value, and values carry no blanks at either end;
// - one key written and saved reads back, and every other key of the sections keeps its value;
// - start-up settings have a temporary folder ending in "\" and group names of at most 60 bytes;
// - a window position is on the screen or at 0, 0.

#include "scratchfolder.h"

#include "library/settings.h"
#include "platform/cp932bytes.h"
#include "platform/profile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace {

// The sections the program reads, with the key the check writes.
const char* const kSections[] = {"KYRO32", "MIDI", "Drives"};
const char kWrittenKey[] = "FuzzWritten";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

using Snapshot = std::map<std::pair<std::string, std::string>, std::optional<std::string>>;

// Every key of the program's sections with its value; each listed key must have one.
Snapshot ReadAll(const kyro::Profile& profile) {
    Snapshot values;
    for (const char* section : kSections) {
        for (const std::string& key : profile.Keys(section)) {
            std::optional<std::string> value = profile.Value(section, key);
            if (!value) std::abort();
            if (!value->empty() && (IsBlank(value->front()) || IsBlank(value->back()))) std::abort();
            values[{section, key}] = std::move(value);
        }
    }
    return values;
}

void CheckProfile(const std::string& path) {
    kyro::Profile profile(path);
    if (!profile.Loaded()) std::abort();  // the file is there and small
    const Snapshot before = ReadAll(profile);

    profile.Write("KYRO32", kWrittenKey, "42");
    if (!profile.Save()) std::abort();
    const kyro::Profile again(path);
    if (again.ReadInt("KYRO32", kWrittenKey, -1) != 42) std::abort();
    for (const auto& [where, value] : before) {
        if (kyro::EqualsIgnoringCaseCp932(where.second, kWrittenKey) && where.first == "KYRO32") continue;
        if (again.Value(where.first, where.second) != value) std::abort();
    }
}

void CheckStartupSettings(const std::string& dosFolder, const std::string& tempFolder) {
    kyro::StartupEnvironment env;
    env.vars["TEMP"] = tempFolder;
    const kyro::Settings s = kyro::ReadStartupSettings(dosFolder, env);
    if (s.tempFolder.empty() || s.tempFolder.back() != '\\') std::abort();
    for (const std::string& name : s.groupNames)
        if (name.size() > 60) std::abort();

    const kyro::ScreenSize screen{1920, 1080};
    const kyro::WindowPosition pos = kyro::ReadWindowPosition(dosFolder, "TitlePosX", "TitlePosY", screen);
    const bool onScreen = pos.x >= 0 && pos.x <= screen.width - 16 && pos.y >= 0 && pos.y <= screen.height;
    if (!onScreen) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = ScratchFolder() + "/";
    static const std::string path = folder + kyro::kSettingsFileName;
    static const std::string tempFolder = [] {
        std::filesystem::create_directory(folder + "temp");
        return folder + "temp";
    }();

    WriteBytes(path, data, size);
    CheckStartupSettings(DosFormOf(folder), tempFolder);
    CheckProfile(path);  // last: it rewrites the file
    return 0;
}
