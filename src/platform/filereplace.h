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

// For the files named `fileNames` in `dosFolder`: completes each replacement whose journal a
// process that is gone left there (or undoes it when it cannot be completed), then removes the
// temporary files of processes that are gone. Files of running processes are left alone.
void RecoverInterruptedWrites(const std::string& dosFolder, const std::vector<std::string>& fileNames);

}  // namespace kyro
