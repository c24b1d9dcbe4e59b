#include "platform/drives.h"

#include "platform/cp932bytes.h"
#include "platform/profile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kyro {

namespace {

char UpperLetter(char letter) {
    const auto c = static_cast<unsigned char>(letter);
    return std::isalpha(c) && c < 0x80 ? static_cast<char>(std::toupper(c)) : '\0';
}

// "/a//b/./c/" -> "/a/b/c/": the form prefixes are compared in. ".." is resolved on the text
// (never above "/"), so that "/home/u/../x" is not taken for a path under /home/u.
std::string NormaliseNative(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t next = path.find('/', i);
        if (next == std::string::npos) next = path.size();
        std::string part = path.substr(i, next - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        i = next + 1;
    }
    std::string out;
    for (const auto& part : parts) out += "/" + part;
    if (out.empty()) return "/";
    if (path.back() == '/') out += '/';
    return out;
}

// Splits the part of a DOS path after "X:" at "\" and "/". A 0x5C that is the second byte of
// a two-byte character ("ソ" is 83 5C) is part of the name, not a separator.
std::vector<std::string> SplitDosComponents(std::string_view rest, bool& trailingSeparator) {
    std::vector<std::string> parts;
    std::string current;
    trailingSeparator = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const auto b = static_cast<unsigned char>(rest[i]);
        if (IsCp932LeadByte(b) && i + 1 < rest.size()) {
            current += rest.substr(i, 2);
            ++i;
            trailingSeparator = false;
        } else if (b == '\\' || b == '/') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
            trailingSeparator = true;
        } else {
            current.push_back(static_cast<char>(b));
            trailingSeparator = false;
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

// The names after "X:" converted to UTF-8; nothing when one of them is not CP932.
std::optional<std::vector<std::string>> NativeNames(std::string_view rest, bool& trailingSeparator) {
    std::vector<std::string> names;
    for (const std::string& part : SplitDosComponents(rest, trailingSeparator)) {
        names.push_back(Cp932ToUtf8(part));
        // CP932 has no U+FFFD: one in the result marks bytes that were not CP932.
        if (names.back().find("\xEF\xBF\xBD") != std::string::npos) return std::nullopt;
    }
    return names;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        // UTF-8 bytes of non-ASCII characters are all >= 0x80, so folding ASCII is safe here.
        if (x != y && (x >= 0x80 || y >= 0x80 || std::tolower(x) != std::tolower(y))) return false;
    }
    return true;
}

bool PathPresent(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The name in `folder` that equals `name` without regard to ASCII letter case; the smallest
// one when there are several, so that the choice does not depend on the order on disk.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (EqualsIgnoringAsciiCase(candidate, name) && (!found || candidate < *found)) found = candidate;
    }
    ::closedir(dir);
    return found;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The longest mapped folder that holds `path` (normalised); '\0' when none does.
char LongestPrefixLetter(const std::map<char, std::string>& letters, const std::string& path) {
    char best = '\0';
    std::size_t bestLength = 0;
    for (const auto& [letter, folder] : letters) {
        const bool holds = folder == "/" || path == folder || path.compare(0, folder.size() + 1, folder + "/") == 0;
        if (holds && (best == '\0' || folder.size() > bestLength)) {
            best = letter;
            bestLength = folder.size();
        }
    }
    return best;
}

}  // namespace

DriveMap DriveMap::Default() {
    DriveMap map;
    map.Set('Z', "/");
    const char* home = std::getenv("HOME");
    if (home && *home == '/') {
        const std::string folder = NormaliseNative(home);
        if (folder != "/") map.Set('C', folder);
    }
    return map;
}

void DriveMap::LoadOverrides(const std::string& iniNativePath) {
    const Profile profile(iniNativePath);
    for (const std::string& key : profile.Keys("Drives")) {
        if (key.size() != 1) continue;
        if (auto folder = profile.Value("Drives", key)) Set(key[0], *folder);
    }
}

void DriveMap::Set(char letter, const std::string& nativeFolder) {
    const char upper = UpperLetter(letter);
    // Only absolute folders: a relative one would change meaning with the working directory.
    if (upper == '\0' || nativeFolder.empty() || nativeFolder[0] != '/') return;
    std::string folder = NormaliseNative(nativeFolder);
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    letters_[upper] = folder;
}

std::optional<std::string> DriveMap::NativeFolder(char letter) const {
    auto it = letters_.find(UpperLetter(letter));
    if (it == letters_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> DriveMap::ToNative(const std::string& dosPath) const {
    if (dosPath.size() < 2 || dosPath[1] != ':') return std::nullopt;
    auto root = NativeFolder(dosPath[0]);
    if (!root) return std::nullopt;

    bool trailingSeparator = false;
    const auto converted = NativeNames(std::string_view(dosPath).substr(2), trailingSeparator);
    if (!converted) return std::nullopt;
    const std::vector<std::string>& names = *converted;
    std::string native = *root;
    for (const std::string& name : names) native = Join(native, name);
    // Most paths exist as written: one look at the disk then settles it.
    if (!names.empty() && !PathPresent(native)) {
        native = *root;
        bool matching = true;  // stops once a component is missing: nothing below it can exist
        for (const std::string& name : names) {
            std::string exact = Join(native, name);
            if (matching && !PathPresent(exact)) {
                if (auto onDisk = FindIgnoringCase(native, name)) {
                    exact = Join(native, *onDisk);
                } else {
                    matching = false;
                }
            }
            native = std::move(exact);
        }
    }
    if (trailingSeparator && native.back() != '/') native += '/';
    return native;
}

std::optional<std::string> DriveMap::ToDos(const std::string& nativePath) const {
    if (nativePath.empty() || nativePath[0] != '/') return std::nullopt;
    const std::string path = NormaliseNative(nativePath);
    const char letter = LongestPrefixLetter(letters_, path);
    if (letter == '\0') return std::nullopt;
    const std::string& folder = letters_.at(letter);
    // The mapped folder itself is the drive's root "X:\".
    const std::string_view rest = folder == "/" ? std::string_view(path) : std::string_view(path).substr(folder.size());
    auto cp932 = Utf8ToCp932(rest.empty() ? std::string_view("/") : rest);
    if (!cp932) return std::nullopt;
    // "/" (0x2F) is never the second byte of a CP932 character, so a byte swap is safe.
    for (char& c : *cp932)
        if (c == '/') c = '\\';
    return std::string{letter, ':'} + *cp932;
}

bool DriveMap::IsReady(char letter) const {
    auto folder = NativeFolder(letter);
    if (!folder) return false;
    struct stat st {};
    return ::stat(folder->c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(folder->c_str(), R_OK | X_OK) == 0;
}

char DriveMap::CurrentDrive() const {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return 'Z';
        buffer.resize(buffer.size() * 2);
    }
    const char letter = LongestPrefixLetter(letters_, NormaliseNative(buffer.data()));
    return letter == '\0' ? 'Z' : letter;
}

std::optional<std::vector<std::string>> DosPathNames(const std::string& dosPath) {
    if (dosPath.size() < 2 || dosPath[1] != ':' || UpperLetter(dosPath[0]) == '\0') return std::nullopt;
    bool trailingSeparator = false;
    return NativeNames(std::string_view(dosPath).substr(2), trailingSeparator);
}

namespace {

DriveMap& ActiveMap() {
    static DriveMap map = DriveMap::Default();
    return map;
}

}  // namespace

const DriveMap& ActiveDriveMap() { return ActiveMap(); }

void SetActiveDriveMap(DriveMap map) { ActiveMap() = std::move(map); }

}  // namespace kyro
