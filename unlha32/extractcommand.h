#pragma once
// The extraction command "e -n1 ARCHIVE FOLDER\ MEMBER". The program adds no quotes, so a path
// with spaces is told apart by what exists on disk: the archive is the longest leading part
// that names a file, the output folder a following part that ends in "\" and names a folder,
// and the rest is the member.

#include <string>

namespace unlha {

struct CommandResult {
    int code = 0;         // a CommandError
    std::string message;  // short, for the caller's output buffer
};

CommandResult RunCommand(const std::string& commandLine);

// Unpacks the member matching `member` from the archive into `nativeFolder` + member
// (separators "\" or "/"), creating subfolders. The data goes to a temporary file first and
// is renamed into place only when its length and CRC are right.
CommandResult ExtractMember(const std::string& archiveNative, const std::string& nativeFolder,
                            const std::string& member);

}  // namespace unlha
