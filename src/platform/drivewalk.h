#pragma once
// DriveWalk: looks on every drive, folder by folder and depth first, for a plain file by name.
//
// The lost-file finder calls Next() in its own loop, one folder at a time, so that it can keep
// its window alive and stop when the user presses a button. Drives are taken from A to Z, those
// whose folder is ready. Each folder is examined before its subfolders, and subfolders are taken
// in name order as ListFolder gives them. A folder is entered only when it is a real folder: not
// hidden, not system (a link to a folder, a pseudo file system such as /proc), readable, and
// with a name CP932 can hold. A folder already walked (the same folder under two letters, or
// one drive's folder inside another's) is walked once, so the walk can neither loop nor
// wander. Only the folders on the way down and their pending subfolders are held in memory.

#include "platform/drives.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kyro {

class DriveWalk {
public:
    enum class Step {
        Continue,  // a folder was examined; the file is not in it
        Found,     // the file is in CurrentFolder(); the next call goes on with the next drive
        Finished,  // every drive has been walked
    };

    // `fileName` is CP932 and compared as DOS names are: single-byte letters without regard
    // to case.
    explicit DriveWalk(const std::string& fileName, DriveMap drives = ActiveDriveMap());

    // Examines the next folder.
    Step Next();

    // The folder examined by the last call, DOS form with a trailing "\" ("D:\SONGS\").
    const std::string& CurrentFolder() const { return currentFolder_; }

    // Deeper folders are not entered; no real song collection comes near it.
    static constexpr std::size_t kMaxDepth = 256;

private:
    struct FolderId {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FolderId&) const = default;
    };
    struct Subfolder {
        std::string cp932;   // the name in DOS paths, and the order of the walk
        std::string native;  // the name on disk (UTF-8)
    };
    // A folder on the way down, with the subfolders still to walk.
    struct Level {
        std::string native;
        std::string dos;  // with a trailing "\"
        FolderId id;
        std::vector<Subfolder> subfolders;
        std::size_t next = 0;
    };
    // A folder opened for examination; the descriptor is closed by Examine.
    struct OpenFolder {
        std::string native;
        std::string dos;
        FolderId id;
        int fd = -1;
    };

    bool OpenNextFolder(OpenFolder& folder);
    bool OpenNextDrive(OpenFolder& folder);
    bool OpenSubfolder(const Level& parent, const Subfolder& sub, OpenFolder& folder) const;
    bool IsWalkedDrive(const FolderId& id) const;
    bool InsideWalkedDrive(const std::string& realFolder) const;
    Step Examine(OpenFolder& folder);
    bool IsSoughtFile(int folderFd, const char* name, unsigned char type) const;

    DriveMap drives_;
    std::string fileName_;      // CP932
    std::string fileNameUtf8_;  // empty when no file on disk can have that name
    std::vector<char> letters_;  // still to walk
    std::vector<FolderId> walkedDrives_;
    std::vector<Level> levels_;
    std::string currentFolder_;
};

}  // namespace kyro
