#pragma once
// Drive letters and DOS paths.
//
// The song list keeps paths exactly as the old list files store them, in DOS form and CP932:
// "D:\MIDI\SONG.MID", "D:\LZH\PACK.LZH->song.mid", folders ending in "\". A drive map gives each
// letter a native folder; by default Z: is "/" (so every native path has a DOS form) and C: is the
// user's home folder. Section [Drives] of KYRO32.INI adds or overrides letters ("D=/mnt/midi").

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kyro {

class DriveMap {
public:
    // Z: = "/" and C: = $HOME (when HOME is set and not "/").
    static DriveMap Default();

    // Adds or overrides letters from section [Drives] of the profile file at `iniNativePath`.
    // Keys are one letter A-Z (either case); values are native folders (UTF-8). Anything else
    // in the section is ignored. A missing file changes nothing.
    void LoadOverrides(const std::string& iniNativePath);

    void Set(char letter, const std::string& nativeFolder);  // letter A-Z, either case
    std::optional<std::string> NativeFolder(char letter) const;  // without trailing "/" (except "/")
    const std::map<char, std::string>& Letters() const { return letters_; }  // upper-case keys

    // DOS path (CP932) to native path (UTF-8): the letter's folder, "\" to "/", CP932 to UTF-8,
    // and every component that does not exist under its exact name matched without regard to
    // letter case against the names present on disk. Nothing when the path does not start with
    // a mapped "X:" or cannot be converted. The returned path need not exist. "X:" is the
    // letter's folder itself, and a trailing "\" stays a trailing "/" ("X:\" is the folder + "/").
    std::optional<std::string> ToNative(const std::string& dosPath) const;

    // Native path (UTF-8, absolute) to DOS path (CP932) by the longest mapped prefix. Nothing
    // when no letter's folder contains it or a name cannot be held in CP932. The letter's folder
    // itself is "X:\"; a trailing "/" stays a trailing "\".
    std::optional<std::string> ToDos(const std::string& nativePath) const;

    // A drive is ready when its letter is mapped and the folder exists and can be read.
    bool IsReady(char letter) const;

    // The drive whose folder holds the process's working directory (longest prefix); 'Z' at worst.
    char CurrentDrive() const;

private:
    std::map<char, std::string> letters_;
};

// The names of a DOS path (CP932) after its "X:", as native (UTF-8) names: "D:\MIDI\X.MID" gives
// {"MIDI", "X.MID"}. Nothing when the path does not start with "X:" or a name is not CP932.
std::optional<std::vector<std::string>> DosPathNames(const std::string& dosPath);

// The drive map in force for the whole program. Start-up sets it once the program folder is
// known; until then it is DriveMap::Default().
const DriveMap& ActiveDriveMap();
void SetActiveDriveMap(DriveMap map);

}  // namespace kyro
