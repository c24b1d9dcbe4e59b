#include "songfiles/tempcopy.h"

#include "platform/filesystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>

namespace kyro {

namespace {

std::optional<std::string> RealPath(const std::string& native) {
    char resolved[PATH_MAX];
    if (!::realpath(native.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

bool IsInside(const std::string& folder, const std::string& path) {
    if (folder == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

}  // namespace

bool DeleteTemporaryCopy(const std::string& tempFolder, const std::string& path) {
    const auto folderNative = NativePath(tempFolder);
    const auto fileNative = NativePath(path);
    if (!folderNative || !fileNative) return false;
    const auto folder = RealPath(*folderNative);
    if (!folder) return false;

    // The file's own name is kept as it is (a link is removed, not followed); its folder is
    // resolved. A trailing "/" names a folder, which is never deleted.
    const std::string& file = *fileNative;
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return false;
    const std::string name = file.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    const auto parent = RealPath(slash == 0 ? "/" : file.substr(0, slash));
    if (!parent) return false;
    const std::string target = (*parent == "/" ? "" : *parent) + "/" + name;
    if (!IsInside(*folder, target)) return false;

    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (::unlink(target.c_str()) != 0) return false;
    // A member stored with folders was unpacked into folders of the same names; those left empty
    // go too, up to the temporary folder. rmdir removes only an empty folder.
    for (std::string inner = *parent; IsInside(*folder, inner) && ::rmdir(inner.c_str()) == 0;)
        inner = inner.substr(0, inner.find_last_of('/'));
    return true;
}

}  // namespace kyro
