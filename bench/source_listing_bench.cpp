// source_listing_bench: the list editor's source listing (ListSourceFolder through
// libunlha32.so) against the same listing done with liblhasa directly.
//
// The folder holds 1,000 LZH archives of 10 stored members each, written at start by the tests'
// LZH writer into a fresh folder under /tmp (removed at the end). The direct side reads the folder
// with readdir, walks each archive's headers with liblhasa, builds the same "PACK.LZH->member"
// items and sorts them the same way; both results are checked equal. The two sides alternate
// (each goes first in every other round, interleaved.h); the ratio is the median of the rounds'
// ratios, printed with their spread. The last line is the ratio ours / liblhasa.
//
// Usage: source_listing_bench [folder holding libunlha32.so]

#include "editor/sourcelisting.h"
#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include "benchsupport.h"
#include "interleaved.h"
#include "songfiles/filekinds.h"

#include "platform/drives.h"
#include "platform/filesystem.h"

#include "lzhwriter.h"

#include <dirent.h>
#include <lhasa.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

constexpr int kArchives = 1000;
constexpr int kMembersPerArchive = 10;
constexpr std::size_t kMemberBytes = 4096;
constexpr int kRounds = 5;
constexpr int kFilter = kyro::kFilterMidOrRcp;

bool Admitted(kyro::FileKind kind) { return kind == kyro::FileKind::Mid || kind == kyro::FileKind::Rcp; }

// The members of one archive as items, read with liblhasa alone.
void AddMembersDirectly(const std::string& nativePath, const std::string& archiveName, Items& items) {
    std::string path = nativePath;  // liblhasa takes a non-const char*
    LHAInputStream* stream = lha_input_stream_from(path.data());
    if (!stream) return;
    LHAReader* reader = lha_reader_new(stream);
    while (LHAFileHeader* header = lha_reader_next_file(reader)) {
        if (!header->filename) continue;  // a folder entry
        std::string member = header->filename;
        if (Admitted(kyro::ClassifyFileName(member, kyro::kPurposeSongs))) items.push_back(archiveName + "->" + member);
    }
    lha_reader_free(reader);
    lha_input_stream_free(stream);
}

// The same listing with readdir and liblhasa: what the source listing would cost without the
// drive map, the CP932 names, the file attributes and the archive library between.
Items ListDirectly(const std::string& nativeFolder) {
    Items items;
    DIR* dir = opendir(nativeFolder.c_str());
    if (!dir) return items;
    while (const dirent* d = readdir(dir)) {
        if (d->d_name[0] == '.' || d->d_type != DT_REG) continue;
        const std::string name = d->d_name;
        const kyro::FileKind kind = kyro::ClassifyFileName(name, kyro::kPurposeSongs);
        if (kind == kyro::FileKind::Lzh)
            AddMembersDirectly(nativeFolder + "/" + name, name, items);
        else if (Admitted(kind))
            items.push_back(name);
    }
    closedir(dir);
    std::stable_sort(items.begin(), items.end(), kyro::LessIgnoringCaseCp932);
    return items;
}

// Realistic member names: songs and RCP files with a folder part now and then.
std::string MemberName(int archive, int member) {
    static const char* const kStems[] = {"opening", "stage", "boss", "ending", "theme", "battle", "field", "town"};
    const char* extension = member % 4 == 3 ? ".rcp" : ".mid";
    return std::string(kStems[(archive + member) % 8]) + std::to_string(member) + extension;
}

}  // namespace

int main(int argc, char** argv) {
    const auto loaded = kyro::bench::LoadArchiveLibrary(argc, argv);
    if (!loaded) return 1;
    const kyro::ArchiveLibrary* library = loaded.get();
    const kyro::bench::ScratchFolder scratch("kyro-source-bench");
    if (!scratch.Made()) {
        std::fprintf(stderr, "cannot make a scratch folder under /tmp\n");
        return 1;
    }
    const std::string& dosFolder = scratch.dos;

    const std::string filler(kMemberBytes, 'x');
    for (int a = 0; a < kArchives; ++a) {
        std::vector<kyro::test::LzhMember> members;
        for (int m = 0; m < kMembersPerArchive; ++m) members.push_back({MemberName(a, m), "", filler, 1});
        char name[32];
        std::snprintf(name, sizeof name, "PACK%04d.LZH", a);
        if (!kyro::test::WriteLzh(scratch.native + "/" + name, members)) {
            std::fprintf(stderr, "cannot write %s\n", name);
            return 1;
        }
    }

    Items ours, direct;
    const kyro::bench::Comparison c = kyro::bench::CompareInterleaved(
        kRounds, [&] { ours = kyro::ListSourceFolder(dosFolder, kFilter, library); },
        [&] { direct = ListDirectly(scratch.native); });
    const std::size_t expected = std::size_t{kArchives} * kMembersPerArchive;
    if (ours.size() != expected || ours != direct) {
        std::fprintf(stderr, "the listings differ: ours %zu items, direct %zu, expected %zu\n", ours.size(),
                     direct.size(), expected);
        return 1;
    }

    std::printf("source listing of %d archives of %d members (median of %d interleaved rounds):\n", kArchives,
                kMembersPerArchive, kRounds);
    std::printf("  ListSourceFolder (libunlha32.so)  %8.1f ms\n", 1000 * c.medianA);
    std::printf("  liblhasa directly                 %8.1f ms\n", 1000 * c.medianB);
    std::printf("ratio spread %.2f..%.2f\n", c.lowest, c.highest);
    std::printf("source listing ratio %.2f\n", c.ratio);
    return 0;
}
