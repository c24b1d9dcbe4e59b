// libFuzzer target for the archive library (libunlha32.so, loaded as the program loads it) and
// the program's layer over it: any bytes as an .LZH file, checked, listed, searched, and every
// member unpacked into a fresh output folder as the player unpacks songs. Besides ending without
// a crash:
// - a failed listing holds exactly its one message, and songs are listed as "A.LZH->member";
// - an archive the check refuses is refused by the listing too;
// - member names come back NUL-terminated, and an unpacked member lies where the result says;
// - nothing is created outside the output folder. The archive and the output folder sit eight
//   folders deep in this process's scratch folder, and the whole scratch tree is compared before
//   and after, so a member that climbs out with up to nine ".." is seen (the library refuses a
//   name with any "..", so a way past that shows with one already).

#include "scratchfolder.h"

#include "platform/filesystem.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Unpacking every member of a long archive teaches the fuzzer nothing the first few do not.
constexpr std::size_t kMaxMembersUnpacked = 16;

const kyro::ArchiveLibrary& Library() {
    static const std::unique_ptr<kyro::ArchiveLibrary> library = [] {
        auto loaded = kyro::ArchiveLibrary::Load(KYRO_UNLHA32_DIR, KYRO_UNLHA32_DIR);
        if (!loaded.library) std::abort();
        loaded.library->Functions().SetPathResolver(nullptr);  // only Z: = "/", as paths here are
        return std::move(loaded.library);
    }();
    return *library;
}

// The folder that holds the archive and the output folder, eight levels below the scratch folder.
const std::string& DeepFolder() {
    static const std::string folder = [] {
        std::string path = ScratchFolder();
        for (int level = 1; level <= 8; ++level) path += "/d" + std::to_string(level);
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

std::set<std::string> Tree(const std::string& root) {
    std::set<std::string> paths;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        paths.insert(it->path().string());
    if (ec) std::abort();
    return paths;
}

// Member names exactly as the library gives them (stored names, folders included).
std::vector<std::string> StoredNames(const kyro::ArchiveFunctions& fn, const std::string& archive) {
    std::vector<std::string> names;
    HARC harc = fn.OpenArchive(nullptr, archive.c_str(), kyro::kOpenArchiveMode);
    if (!harc) return names;
    INDIVIDUALINFO info;
    std::memset(&info, 'x', sizeof info);
    for (int r = fn.FindFirst(harc, "*.*", &info); r == 0; r = fn.FindNext(harc, &info)) {
        if (!std::memchr(info.szFileName, '\0', sizeof info.szFileName)) std::abort();
        names.emplace_back(info.szFileName);
        std::memset(&info, 'x', sizeof info);
    }
    fn.CloseArchive(harc);
    return names;
}

// Lists in both modes; returns the member part of each song entry.
std::vector<std::string> ListedSongs(const std::string& archive, bool checkPassed) {
    const kyro::ArchiveLibrary* library = &Library();
    std::vector<std::string> documents, songs, members;
    const int documentResult = kyro::ListArchiveMembers(library, archive, documents, kyro::ListingMode(kyro::kPurposeDocuments));
    const int songResult = kyro::ListArchiveMembers(library, archive, songs,
                                                    kyro::ListingMode(kyro::kPurposeSongs, kyro::kFilterMidOrRcp));
    for (const auto& [result, list] : {std::pair{documentResult, &documents}, std::pair{songResult, &songs}}) {
        // A failure holds its one message; a damaged archive its members first, the message last.
        const bool damaged = result == kyro::kArchiveDamaged;
        if (result != kyro::kArchiveOk && (list->empty() || (!damaged && list->size() != 1) || list->back().empty()))
            std::abort();
        if (damaged) list->pop_back();
        if (!checkPassed && result != kyro::kArchiveCheckFailed) std::abort();
    }
    if (songResult != kyro::kArchiveOk && songResult != kyro::kArchiveDamaged) return members;
    for (const std::string& entry : songs) {
        if (entry.rfind("A.LZH->", 0) != 0) std::abort();
        members.push_back(entry.substr(7));
    }
    return members;
}

void Unpack(const std::string& archive, const std::string& member, const std::string& outDos) {
    const kyro::ArchiveLibrary* library = &Library();
    std::string found = member;
    kyro::FindArchiveMember(library, archive, found);

    std::string output = "(unchanged)";
    const int result = kyro::ExtractArchiveMember(library, archive + "->" + member, outDos, output);
    if (result == kyro::kExtractOk && (output != outDos + member || !kyro::FileExists(output))) std::abort();
    if (result == kyro::kExtractBusy) std::abort();  // nothing else is running
}

}  // namespace

// The library is loaded before fuzzing starts, so that libFuzzer counts its coverage from the first
// input on.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Library();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kyro::ArchiveFunctions& fn = Library().Functions();
    const std::string archiveNative = DeepFolder() + "/A.LZH";
    const std::string outNative = DeepFolder() + "/out";
    const std::string archive = DosFormOf(archiveNative);
    const std::string outDos = DosFormOf(outNative) + "\\";

    WriteBytes(archiveNative, data, size);
    fs::create_directory(outNative);
    const std::set<std::string> before = Tree(ScratchFolder());

    const bool checkPassed = fn.CheckArchive(archive.c_str(), 0) != 0;
    std::vector<std::string> members = StoredNames(fn, archive);
    for (std::string& song : ListedSongs(archive, checkPassed)) members.push_back(std::move(song));
    if (members.size() > kMaxMembersUnpacked) members.resize(kMaxMembersUnpacked);
    for (const std::string& member : members) Unpack(archive, member, outDos);

    for (const std::string& path : Tree(ScratchFolder()))
        if (!before.count(path) && path.rfind(outNative + "/", 0) != 0) std::abort();
    std::error_code ignored;
    fs::remove_all(outNative, ignored);
    return 0;
}
