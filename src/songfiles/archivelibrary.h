#pragma once
// Loading and checking the archive library, and the functions it offers.
//
// The library is looked for as libunlha32.so in the executable's folder, then in the program
// folder, then in ../lib/kyrotune from the executable's folder (an installed copy), opened with
// dlopen and each function looked up by name with dlsym. A library that lacks
// UnlhaQueryFunctionList, or refuses one of the function indexes the program needs, is not used;
// the failure name says which.

#include "unlha32/unlha32.h"

#include <memory>
#include <string>

namespace kyro {

inline const char kArchiveLibraryFile[] = "libunlha32.so";

struct ArchiveFunctions {
    int (*QueryFunctionList)(int) = nullptr;
    uint16_t (*GetVersion)() = nullptr;
    int (*GetRunning)() = nullptr;
    int (*SetBackGroundMode)(int) = nullptr;
    int (*SetCursorMode)(int) = nullptr;
    int (*CheckArchive)(const char*, int) = nullptr;
    HARC (*OpenArchive)(void*, const char*, uint32_t) = nullptr;
    int (*CloseArchive)(HARC) = nullptr;
    int (*FindFirst)(HARC, const char*, INDIVIDUALINFO*) = nullptr;
    int (*FindNext)(HARC, INDIVIDUALINFO*) = nullptr;
    int (*Command)(void*, const char*, char*, uint32_t) = nullptr;  // "Unlha"
    void (*SetPathResolver)(UnlhaPathResolver) = nullptr;           // optional
};

class ArchiveLibrary {
public:
    enum class Status { Loaded, NotFound, MissingFunction };

    struct LoadResult {
        Status status = Status::NotFound;
        std::string failureName;  // e.g. "ISARC_QUERY_FUNCTION_LIST", "ISARC_FIND_FIRST"
        std::unique_ptr<ArchiveLibrary> library;  // set only when Loaded
    };

    // Looks in exeFolder, programFolder, then exeFolder/../lib/kyrotune (native paths, with or
    // without trailing "/").
    // `fileName` is the library's file name (tests load fakes under other names).
    static LoadResult Load(const std::string& exeFolder, const std::string& programFolder,
                           const std::string& fileName = kArchiveLibraryFile);

    ~ArchiveLibrary();
    ArchiveLibrary(const ArchiveLibrary&) = delete;
    ArchiveLibrary& operator=(const ArchiveLibrary&) = delete;

    const ArchiveFunctions& Functions() const { return fn_; }
    const std::string& NativePath() const { return path_; }

    // Hands the library the program's drive map (ActiveDriveMap), through which it turns the DOS
    // paths of its command lines into native ones; a library without the resolver knows Z: only.
    void UseActiveDriveMap() const;

private:
    ArchiveLibrary(void* handle, std::string path, ArchiveFunctions fn);
    void* handle_;
    std::string path_;
    ArchiveFunctions fn_;
};

// The function indexes asked at start-up, in order, with the names used in messages.
struct FunctionCheck {
    int index;
    const char* name;
};
extern const FunctionCheck kRequiredArchiveFunctions[10];

}  // namespace kyro
