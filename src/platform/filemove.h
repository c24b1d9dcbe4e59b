#pragma once
// Moving files between folders and deleting them to the desktop trash, for the file move window.
// Paths are DOS form (CP932), resolved through the active drive map. Neither operation ever
// overwrites or removes a file for good: a file of the same name at the destination stays, and a
// file that cannot go to the trash stays where it is.

#include <string>

namespace kyro {

enum class MoveResult {
    Moved,
    TargetExists,  // a file of that name is at the destination; both files are as they were
    Failed,        // missing source, unreadable folder, a copy that did not check out...
};

// Moves a file (or a folder, within one file system) to `to`, which must not exist. Within a file
// system this is one rename that refuses to replace; across file systems the bytes are copied to a
// new file, read back and compared, and only then is the source deleted. On any failure the source
// is left as it was and no copy remains.
MoveResult MoveFileNoReplace(const std::string& fromDos, const std::string& toDos);

enum class TrashResult {
    Trashed,
    NoTrash,  // no trash can be had for this file (no data folder, or none on its file system)
    Failed,   // the path names nothing that can be moved
};

// Moves the file into the freedesktop trash (with its .trashinfo), as a recycle bin would.
TrashResult MoveToTrash(const std::string& dosPath);

// The rename that refuses to replace, as renameat2(..., RENAME_NOREPLACE): 0, or -1 with errno.
// Tests put one in that fails with EXDEV, which is how a rename across file systems fails.
using NoReplaceRename = int (*)(const char* from, const char* to);
void SetNoReplaceRenameForTesting(NoReplaceRename rename);  // nullptr: the real one again

}  // namespace kyro
