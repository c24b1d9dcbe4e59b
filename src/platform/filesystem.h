#pragma once
// File-system operations on DOS paths (CP932), through the active drive map. Only this folder
// touches the native file system; everything above it speaks DOS paths.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kyro {

// The folder of the running executable (native), "" when it cannot be told.
std::string ExecutableFolder();

// Where an installed copy keeps the rest of its program folder (the player and archive libraries,
// the reset files), relative to the executable's folder: bin/kyrotune beside lib/kyrotune.
inline constexpr char kInstalledFilesFolder[] = "../lib/kyrotune";

bool FileExists(const std::string& dosPath);       // a file (or a link to one), not a folder
bool FolderExists(const std::string& dosPath);     // with or without a trailing "\"
bool FileReadable(const std::string& dosPath);

// Reads at most `maxBytes` bytes of a file; nothing when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::string& dosPath, std::size_t maxBytes = 64u << 20);

// Replaces the file atomically: the bytes go to a temporary file beside it, which is flushed and
// renamed over the target. On failure the old file is untouched and no temporary file remains.
bool WriteFileAtomic(const std::string& dosPath, const std::string& bytes);

bool DeleteFileAt(const std::string& dosPath);

// Whether a new file can be made at the path: it is created exclusively (an existing file of that
// name is never opened, let alone truncated) and removed again at once.
enum class ProbeResult { Created, AlreadyExists, Failed };
ProbeResult ProbeNewFile(const std::string& dosPath);

struct DirEntry {
    std::string name;     // CP932
    bool isFolder = false;
    bool hidden = false;  // the name begins with "."
    bool system = false;  // a link to a folder, or a folder on a pseudo file system (proc, sysfs...)
};

// The entries of a folder, without "." and "..", sorted by name. Names that CP932 cannot hold
// are left out. Nothing when the folder cannot be read.
std::optional<std::vector<DirEntry>> ListFolder(const std::string& dosFolder);

// Attributes of one native path (UTF-8), as ListFolder reports them.
DirEntry NativeAttributes(const std::string& nativePath);

// The native (UTF-8) form of a DOS path, or nothing; a shorthand for ActiveDriveMap().ToNative.
std::optional<std::string> NativePath(const std::string& dosPath);

// The DOS form of a native path, or nothing; a shorthand for ActiveDriveMap().ToDos.
std::optional<std::string> DosPath(const std::string& nativePath);

// ReadFileBytes and WriteFileAtomic on a native (UTF-8) path, for files that are not named by
// a DOS path (profile files).
std::optional<std::string> ReadNativeFileBytes(const std::string& nativePath, std::size_t maxBytes = 64u << 20);
bool WriteNativeFileAtomic(const std::string& nativePath, const std::string& bytes);

// The type (DT_DIR, DT_REG, DT_LNK, else DT_UNKNOWN) of the entry `name` of an open folder, for
// the walks, where readdir leaves d_type unknown; a link is not followed.
unsigned char FolderEntryType(int folderFd, const char* name);

// Appends "\" when the folder does not end with one.
std::string WithTrailingBackslash(std::string dosFolder);

}  // namespace kyro
