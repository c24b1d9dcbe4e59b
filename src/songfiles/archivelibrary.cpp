#include "songfiles/archivelibrary.h"

#include "platform/drives.h"
#include "platform/filesystem.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace kyro {

const FunctionCheck kRequiredArchiveFunctions[10] = {
    {ISARC, "ISARC"},
    {ISARC_GET_VERSION, "ISARC_GET_VERSION"},
    {ISARC_SET_BACK_GROUND_MODE, "ISARC_SET_BACK_GROUND_MODE"},
    {ISARC_SET_CURSOR_MODE, "ISARC_SET_CURSOR_MODE"},
    {ISARC_GET_RUNNING, "ISARC_GET_RUNNING"},
    {ISARC_CHECK_ARCHIVE, "ISARC_CHECK_ARCHIVE"},
    {ISARC_OPEN_ARCHIVE, "ISARC_OPEN_ARCHIVE"},
    {ISARC_CLOSE_ARCHIVE, "ISARC_CLOSE_ARCHIVE"},
    {ISARC_FIND_FIRST, "ISARC_FIND_FIRST"},
    {ISARC_FIND_NEXT, "ISARC_FIND_NEXT"},
};

namespace {

constexpr char kQueryFunctionName[] = "ISARC_QUERY_FUNCTION_LIST";

template <typename F>
void LookUp(void* handle, const char* symbol, F& target) {
    target = reinterpret_cast<F>(dlsym(handle, symbol));
}

// Looks up the function behind each index; true when it is there.
bool LookUpFunction(void* handle, int index, ArchiveFunctions& fn) {
    switch (index) {
    case ISARC: LookUp(handle, "Unlha", fn.Command); return fn.Command;
    case ISARC_GET_VERSION: LookUp(handle, "UnlhaGetVersion", fn.GetVersion); return fn.GetVersion;
    case ISARC_SET_BACK_GROUND_MODE: LookUp(handle, "UnlhaSetBackGroundMode", fn.SetBackGroundMode); return fn.SetBackGroundMode;
    case ISARC_SET_CURSOR_MODE: LookUp(handle, "UnlhaSetCursorMode", fn.SetCursorMode); return fn.SetCursorMode;
    case ISARC_GET_RUNNING: LookUp(handle, "UnlhaGetRunning", fn.GetRunning); return fn.GetRunning;
    case ISARC_CHECK_ARCHIVE: LookUp(handle, "UnlhaCheckArchive", fn.CheckArchive); return fn.CheckArchive;
    case ISARC_OPEN_ARCHIVE: LookUp(handle, "UnlhaOpenArchive", fn.OpenArchive); return fn.OpenArchive;
    case ISARC_CLOSE_ARCHIVE: LookUp(handle, "UnlhaCloseArchive", fn.CloseArchive); return fn.CloseArchive;
    case ISARC_FIND_FIRST: LookUp(handle, "UnlhaFindFirst", fn.FindFirst); return fn.FindFirst;
    case ISARC_FIND_NEXT: LookUp(handle, "UnlhaFindNext", fn.FindNext); return fn.FindNext;
    default: return false;
    }
}

std::string Join(const std::string& folder, const std::string& fileName) {
    if (folder.empty() || folder.back() == '/') return folder + fileName;
    return folder + "/" + fileName;
}

// The first candidate that exists and loads; an unloadable file is passed over like a missing one.
void* OpenFirst(const std::string& exeFolder, const std::string& programFolder, const std::string& fileName,
                std::string& path) {
    // An installed executable is in bin, the library in lib/kyrotune beside it.
    const std::string installed =
        exeFolder.empty() ? std::string() : Join(exeFolder, std::string(kInstalledFilesFolder) + "/");
    for (const std::string* folder : {&exeFolder, &programFolder, &installed}) {
        if (folder->empty()) continue;
        std::string candidate = std::filesystem::path(Join(*folder, fileName)).lexically_normal().string();
        if (access(candidate.c_str(), F_OK) != 0) continue;
        if (void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            path = candidate;
            return handle;
        }
    }
    return nullptr;
}

// The name of the first required function the library refuses or lacks; "" when none.
// Indexes are asked in order and asking stops at the first refusal.
std::string CheckFunctions(void* handle, ArchiveFunctions& fn) {
    LookUp(handle, "UnlhaQueryFunctionList", fn.QueryFunctionList);
    if (!fn.QueryFunctionList) return kQueryFunctionName;
    for (const auto& check : kRequiredArchiveFunctions)
        if (!fn.QueryFunctionList(check.index)) return check.name;
    for (const auto& check : kRequiredArchiveFunctions)
        if (!LookUpFunction(handle, check.index, fn)) return check.name;
    LookUp(handle, "UnlhaSetPathResolver", fn.SetPathResolver);  // ours; optional
    return {};
}

}  // namespace

ArchiveLibrary::LoadResult ArchiveLibrary::Load(const std::string& exeFolder, const std::string& programFolder,
                                                const std::string& fileName) {
    LoadResult result;
    std::string path;
    void* handle = OpenFirst(exeFolder, programFolder, fileName, path);
    if (!handle) return result;
    ArchiveFunctions fn;
    result.failureName = CheckFunctions(handle, fn);
    if (!result.failureName.empty()) {
        dlclose(handle);
        result.status = Status::MissingFunction;
        return result;
    }
    result.status = Status::Loaded;
    result.library.reset(new ArchiveLibrary(handle, std::move(path), fn));
    return result;
}

ArchiveLibrary::ArchiveLibrary(void* handle, std::string path, ArchiveFunctions fn)
    : handle_(handle), path_(std::move(path)), fn_(fn) {}

ArchiveLibrary::~ArchiveLibrary() {
    if (handle_) dlclose(handle_);
}

namespace {

int ResolveThroughActiveDriveMap(const char* dosPath, char* out, size_t size) {
    const auto native = ActiveDriveMap().ToNative(dosPath ? dosPath : "");
    if (!native || native->size() + 1 > size) return 0;
    std::memcpy(out, native->c_str(), native->size() + 1);
    return 1;
}

}  // namespace

void ArchiveLibrary::UseActiveDriveMap() const {
    if (fn_.SetPathResolver) fn_.SetPathResolver(&ResolveThroughActiveDriveMap);
}

}  // namespace kyro
