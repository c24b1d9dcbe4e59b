#pragma once
// Removing the copy of an archive member that was unpacked into the temporary folder.

#include <string>

namespace kyro {

// Deletes the file at `path` (DOS form) only when it lies inside `tempFolder` (DOS form): both
// are resolved to native paths, the folder part of each through realpath (so ".." and links
// that lead elsewhere are seen through), and the file must be below the folder. Never deletes a
// folder; a link inside the folder is removed itself, not what it points to. False when nothing
// was deleted. The folders between the file and `tempFolder` that the deletion leaves empty go too
// (the extraction made them for a member stored with folders).
bool DeleteTemporaryCopy(const std::string& tempFolder, const std::string& path);

}  // namespace kyro
