#pragma once
// A folder of this run's own inside the temporary folder, for the archive members it unpacks. The
// run holds a lock on the folder while it lasts and removes the folder at its end. A run that is
// killed cannot, so every new one first removes the folders whose lock nobody holds: a member
// unpacked halfway and the folders of members stored with folders go with them. The temporary
// folder itself is the user's and is never emptied. Native (UTF-8) paths.

#include "platform/filelock.h"

#include <string>

namespace kyro {

class PrivateTempFolder {
public:
    PrivateTempFolder() = default;
    // Removes the folders of runs that have ended from `parentNative`, then makes this run's.
    // Made() is false when no folder could be made there.
    explicit PrivateTempFolder(const std::string& parentNative);
    ~PrivateTempFolder();  // removes the folder with everything in it
    PrivateTempFolder(PrivateTempFolder&& other) noexcept;
    PrivateTempFolder& operator=(PrivateTempFolder&& other) noexcept;
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    bool Made() const { return !native_.empty(); }
    const std::string& Native() const { return native_; }  // without a trailing "/"
    std::string Name() const;                              // the last part of Native()

private:
    void Remove();

    std::string native_;
    FileLock lock_;
};

// Whether a name in the temporary folder is one of the private folders' names.
bool IsPrivateTempFolderName(const std::string& name);

// Removes every private folder of this user in `parentNative` whose lock is free; how many.
int RemoveFoldersOfEndedRuns(const std::string& parentNative);

}  // namespace kyro
