#pragma once
// Replacing several files as one (the list file and its title file belong together), and putting
// right at start-up what a process that was killed in the middle of a write left behind.

#include <string>
#include <vector>

namespace kyro {

struct FileImage {
    std::string dosPath;
    std::string bytes;
};

// Each new content goes to a temporary file beside its target and is flushed; the old files are
// kept under second names; then a journal naming all of them is written beside the first file,
// and only then are the targets replaced. When a replacement fails, the files replaced before it
// get their old contents back (or are removed again if they did not exist). Returns the index of
// the file that could not be written, or -1 when every file was replaced. A process killed at any
// point leaves the old files, or a journal from which RecoverInterruptedWrites completes the new.
int WriteFilesAtomic(const std::vector<FileImage>& files);

// Who else may be writing the folder. A process that holds the folder's lock is its only writer:
// whatever journal or temporary file of the program's names it finds there is from a run that has
// ended, whatever process number the file carries (numbers repeat: in a sandbox every run may be
// process 1). Without the lock, only the leftovers of processes that are gone can be told apart.
enum class FolderAccess { SoleWriter, Shared };

// For the files named `fileNames` in `dosFolder`: completes each replacement whose journal a run
// that has ended left there (or undoes it when it cannot be completed), newest first, and drops a
// journal that a later write has overtaken; then removes those runs' temporary files.
void RecoverInterruptedWrites(const std::string& dosFolder, const std::vector<std::string>& fileNames,
                              FolderAccess access);

}  // namespace kyro
