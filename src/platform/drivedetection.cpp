#include "platform/drivedetection.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <unordered_set>

namespace kyro {

namespace {

constexpr char kMemberSeparator[] = "->";

// One song of a letter's sample.
struct SampledSong {
    std::string target;               // the DOS path that must exist: the song, or its archive
    std::vector<std::string> folded;  // its names below "X:", folded; empty when it has none
};

struct MissingLetter {
    char letter = '\0';
    std::size_t songs = 0;
    std::vector<SampledSong> sample;
};

SampledSong SongOf(const std::string& dosPath) {
    SampledSong song;
    song.target = dosPath.substr(0, dosPath.find(kMemberSeparator));
    if (const auto names = DosPathNames(song.target))
        for (const std::string& name : *names) song.folded.push_back(FoldAsciiCase(name));
    return song;
}

bool IsFile(const std::optional<std::string>& native) {
    struct stat st {};
    return native && ::stat(native->c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Through the drive map's own matching of names, so that a proposal counts exactly the songs the
// player will open once the letter points there.
bool FoundUnder(char letter, const std::string& folder, const std::string& target) {
    DriveMap map;
    map.Set(letter, folder);
    return IsFile(map.ToNative(target));
}

// `path` without its last `count` names, which must be names[0, count); nothing when they are not.
std::optional<std::string> FolderAbove(std::string path, const std::vector<std::string>& names, std::size_t count) {
    for (std::size_t i = count; i-- > 0;) {
        const auto slash = path.find_last_of('/');
        if (path == "/" || slash == std::string::npos) return std::nullopt;
        if (FoldAsciiCase(std::string_view(path).substr(slash + 1)) != names[i]) return std::nullopt;
        path.erase(slash == 0 ? 1 : slash);
    }
    return path;
}

// The folders the letter might stand for, by one song: above each file of its name whose folders
// carry the song's folder names, and above each unread folder that carries one of them.
std::set<std::string> CandidateFolders(const SampledSong& song, const FolderIndex& index) {
    std::set<std::string> folders;
    if (song.folded.empty()) return folders;
    const std::size_t last = song.folded.size() - 1;
    for (const FolderIndex::File& file : index.FilesNamed(song.folded[last]))
        if (auto folder = FolderAbove(file.folder, song.folded, last)) folders.insert(std::move(*folder));
    for (std::size_t k = 0; k < last; ++k)
        for (const std::string& unread : index.UnreadFoldersNamed(song.folded[k]))
            if (auto folder = FolderAbove(unread, song.folded, k + 1)) folders.insert(std::move(*folder));
    return folders;
}

// The letter's songs spread evenly over its list, and whether most of them are missing.
std::optional<MissingLetter> MissingSample(char letter, const std::vector<const std::string*>& paths,
                                           const DriveMap& drives, std::size_t sampleSize) {
    MissingLetter missing{letter, paths.size(), {}};
    const std::size_t count = std::min(sampleSize, paths.size());
    std::size_t absent = 0;
    for (std::size_t i = 0; i < count; ++i) {
        SampledSong song = SongOf(*paths[i * paths.size() / count]);
        if (!IsFile(drives.ToNative(song.target))) ++absent;
        missing.sample.push_back(std::move(song));
    }
    if (absent * 2 <= count) return std::nullopt;
    return missing;
}

// The folder that finds the most of the sample; among equals the shortest, then the first by name.
std::optional<DriveProposal> BestFolder(const MissingLetter& missing, const FolderIndex& index) {
    std::map<std::string, std::size_t> found;
    for (const SampledSong& song : missing.sample)
        for (const std::string& folder : CandidateFolders(song, index))
            if (FoundUnder(missing.letter, folder, song.target)) ++found[folder];
    const std::pair<const std::string, std::size_t>* best = nullptr;
    for (const auto& entry : found)
        if (!best || entry.second > best->second || (entry.second == best->second && entry.first.size() < best->first.size()))
            best = &entry;
    if (!best) return std::nullopt;
    return DriveProposal{missing.letter, best->first, missing.songs, missing.sample.size(), best->second};
}

std::optional<std::string> UserName() {
    if (const char* user = std::getenv("USER"); user && *user) return std::string(user);
    if (const passwd* entry = ::getpwuid(::getuid())) return std::string(entry->pw_name);
    return std::nullopt;
}

bool IsFolder(const std::string& native) {
    struct stat st {};
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::size_t DriveProposal::FoundInList() const {
    if (sampled == 0 || sampled == songs) return found;
    return (found * songs + sampled / 2) / sampled;
}

std::vector<std::string> DetectionRoots(const DriveMap& drives) {
    std::vector<std::string> candidates;
    DriveMap homeFolder = DriveMap::Default();  // C: is the home folder, in the map's own form
    if (auto home = homeFolder.NativeFolder('C')) candidates.push_back(*home);
    candidates.push_back("/media");
    candidates.push_back("/mnt");
    if (auto user = UserName()) candidates.push_back("/run/media/" + *user);
    for (const auto& [letter, folder] : drives.Letters()) candidates.push_back(folder);
    std::vector<std::string> roots;
    for (const std::string& folder : candidates)
        if (IsFolder(folder) && std::find(roots.begin(), roots.end(), folder) == roots.end()) roots.push_back(folder);
    return roots;
}

DriveDetection DetectDrives(const std::vector<std::string>& dosPaths, const DriveMap& drives,
                            const std::vector<std::string>& roots, const DriveDetectionLimits& limits) {
    std::map<char, std::vector<const std::string*>> byLetter;
    for (const std::string& path : dosPaths) {
        if (path.size() < 2 || path[1] != ':') continue;
        const char letter = static_cast<char>(path[0] & ~0x20);  // upper case
        if (letter >= 'A' && letter <= 'Z') byLetter[letter].push_back(&path);
    }

    std::vector<MissingLetter> missing;
    std::unordered_set<std::string> wantedNames;
    for (const auto& [letter, paths] : byLetter) {
        auto sample = MissingSample(letter, paths, drives, limits.sampleSize);
        if (!sample) continue;
        for (const SampledSong& song : sample->sample) wantedNames.insert(song.folded.begin(), song.folded.end());
        missing.push_back(std::move(*sample));
    }

    DriveDetection result;
    if (missing.empty()) return result;  // nothing to look for: the disks are not walked at all
    const FolderIndex index(roots, std::move(wantedNames), limits.walk);
    for (const MissingLetter& letter : missing) {
        auto best = BestFolder(letter, index);
        // More than half of the sample, or the letter is left to the lost-file check.
        if (best && best->found * 2 > best->sampled && best->folder != drives.NativeFolder(letter.letter))
            result.proposals.push_back(std::move(*best));
        else
            result.unplaced.push_back(letter.letter);
    }
    return result;
}

}  // namespace kyro
