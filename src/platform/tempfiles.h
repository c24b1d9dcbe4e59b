#pragma once
// Temporary files beside the files they replace. Each is named ".NAME.PID-N.KIND" (NAME the file
// it belongs to, PID the process that made it, KIND "tmp" or a journal's kind), so that a later
// start can tell a leftover of the program's from a file of the user's, and, where it cannot hold
// the folder's lock, whether the process that made it is gone. Native (UTF-8) paths.

#include <sys/types.h>

#include <optional>
#include <string>

namespace kyro {

// Creates a new, empty file beside `target` under a name nobody else uses; its descriptor, or -1.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath, const char* kind = "tmp");

// Writes the bytes, flushed to disk, to a new file beside `target` (taking the permissions of the
// file it is to replace). Nothing remains on failure; a `target` that is no regular file, or one
// that is read-only, fails.
std::optional<std::string> WriteTemporaryBeside(const std::string& target, const std::string& bytes);

bool WriteAll(int fd, const std::string& bytes);

// Flushes the folder holding `path`, so that a rename in it survives a power loss.
void SyncFolderOf(const std::string& path);

// The file a write to `nativePath` really replaces: the target of a link, not the link.
std::string ResolveLinkTarget(const std::string& nativePath);

std::string FolderOf(const std::string& nativePath);  // up to and without the last "/"
std::string FileNameOf(const std::string& nativePath);

struct TemporaryName {
    std::string target;  // the name of the file it belongs to
    pid_t pid = 0;
    std::string kind;
};
// What a file name says when it is one of ours; nothing otherwise.
std::optional<TemporaryName> ParseTemporaryName(const std::string& fileName);

// False while a process of that number runs (also one of another user).
bool ProcessIsGone(pid_t pid);

// Tests of a sandbox where every process number is a live one (where the machine cannot make one)
// answer the liveness question themselves.
using ProcessLivenessHook = bool (*)(pid_t);
void SetProcessLivenessHook(ProcessLivenessHook isAlive);

// Tests stop a process between two steps of a file replacement by installing a hook that is
// called after each step that changes the disk.
using WriteStepHook = void (*)();
void SetWriteStepHook(WriteStepHook hook);
void WriteStepDone();

}  // namespace kyro
