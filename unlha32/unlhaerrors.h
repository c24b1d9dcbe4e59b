#pragma once
// Results of the Unlha command call (0 is success). Ours, not part of the loader's contract:
// the program only tells 0 from anything else.

namespace unlha {

enum CommandError : int {
    kCommandOk = 0,
    kBadCommand = 0x8001,       // not "e [switches] ARCHIVE FOLDER\ MEMBER"
    kArchiveNotFound = 0x8002,  // no prefix of the arguments names a file
    kFolderNotFound = 0x8003,   // no following part ending in "\" names a folder
    kNotAnArchive = 0x8004,
    kMemberNotFound = 0x8005,
    kUnsafeName = 0x8006,       // "..", or a name asked for with a leading "/", "\" or drive letter
    kDamagedMember = 0x8007,    // CRC error or data cut short
    kWriteFailed = 0x8008,
    // 0x8009 is UNLHA_ERROR_DAMAGED_ARCHIVE of unlha32.h (the search functions).
};

}  // namespace unlha
