// archive_bench: how much the program's archive layer (through libunlha32.so) costs over
// liblhasa used directly.
//
//   listing    - 1,000 archives of 10 stored members each, listed with ListArchiveMembers and
//                with a bare lha_reader_next_file loop; archives per second.
//   extraction - one 1 MB member unpacked with ExtractArchiveMember and with
//                lha_reader_extract into a file; milliseconds per member.
//
// The layer and liblhasa are timed round by round, interleaved (interleaved.h); each ratio is the
// median of the rounds' ratios, printed with their spread. The breakdown of the layer's listing
// is the best of several rounds. The fixtures, written by the small stored-member writer below,
// go into a fresh folder under /tmp, removed at the end. The last line gives both ratios (layer
// time / direct time).
//
// Usage: archive_bench [folder holding libunlha32.so]

#include "songfiles/archiveaccess.h"
#include "songfiles/archivelibrary.h"

#include "benchsupport.h"
#include "interleaved.h"
#include "songfiles/tempcopy.h"

#include "platform/drives.h"
#include "platform/filesystem.h"

#include <lhasa.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using kyro::bench::Clock;
using kyro::bench::Seconds;

struct Member {
    std::string name;  // ASCII, at most 200 bytes
    std::string data;
};

constexpr int kArchives = 1000;
constexpr int kMembersPerArchive = 10;
constexpr std::size_t kSmallMemberBytes = 4096;
constexpr std::size_t kLargeMemberBytes = 1u << 20;
constexpr int kListingRounds = 9;
constexpr int kExtractionRounds = 9;
constexpr int kExtractionsPerRound = 20;

uint16_t Crc16Arc(const std::string& bytes) {
    uint16_t crc = 0;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

void Put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An LZH archive of stored (-lh0-) members with level 0 headers: header size and checksum,
// method, sizes, DOS time stamp, attribute, level, name, CRC-16/ARC; then the data; a 0 byte
// ends the archive.
bool WriteStoredLzh(const std::string& nativePath, const std::vector<Member>& members) {
    std::string archive;
    for (const Member& m : members) {
        std::string header = "-lh0-";
        Put(header, static_cast<uint32_t>(m.data.size()), 4);  // compressed size
        Put(header, static_cast<uint32_t>(m.data.size()), 4);  // original size
        Put(header, (21u << 25) | (2u << 21) | (3u << 16), 4);  // 2001-02-03 00:00
        header += '\x20';                                      // attribute: archive
        header += '\0';                                        // header level 0
        header += static_cast<char>(m.name.size());
        header += m.name;
        Put(header, Crc16Arc(m.data), 2);
        unsigned char sum = 0;
        for (unsigned char b : header) sum = static_cast<unsigned char>(sum + b);
        archive += static_cast<char>(header.size());
        archive += static_cast<char>(sum);
        archive += header + m.data;
    }
    archive += '\0';
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    return static_cast<bool>(out.flush());
}

std::string Bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    return data;
}

// The best time of `rounds` runs of `work`.
double Best(int rounds, const std::function<void()>& work) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

// Members of one archive as liblhasa sees them; -1 when the file does not open.
long DirectListing(const std::string& nativePath, std::vector<std::string>& names) {
    std::string path = nativePath;  // liblhasa takes a non-const char*
    LHAInputStream* stream = lha_input_stream_from(path.data());
    if (!stream) return -1;
    LHAReader* reader = lha_reader_new(stream);
    long count = 0;
    while (LHAFileHeader* header = lha_reader_next_file(reader)) {
        names.emplace_back(header->filename ? header->filename : "");
        ++count;
    }
    lha_reader_free(reader);
    lha_input_stream_free(stream);
    return count;
}

// Unpacks the member called `member` into `destination` with liblhasa; true on success.
bool DirectExtraction(const std::string& nativeArchive, const std::string& member, const std::string& destination) {
    std::string path = nativeArchive;
    LHAInputStream* stream = lha_input_stream_from(path.data());
    if (!stream) return false;
    LHAReader* reader = lha_reader_new(stream);
    bool ok = false;
    while (LHAFileHeader* header = lha_reader_next_file(reader)) {
        if (!header->filename || member != header->filename) continue;
        std::string out = destination;
        ok = lha_reader_extract(reader, out.data(), nullptr, nullptr) != 0;
        break;
    }
    lha_reader_free(reader);
    lha_input_stream_free(stream);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const auto loaded = kyro::bench::LoadArchiveLibrary(argc, argv);
    if (!loaded) return 1;
    const kyro::ArchiveLibrary* library = loaded.get();
    const kyro::bench::ScratchFolder scratch("kyro-archive-bench");
    if (!scratch.Made()) {
        std::fprintf(stderr, "cannot make a scratch folder under /tmp\n");
        return 1;
    }
    const std::string& dosFolder = scratch.dos;

    // ---- Fixtures ----
    std::vector<std::string> natives, dosPaths;
    for (int a = 0; a < kArchives; ++a) {
        std::vector<Member> members;
        for (int m = 0; m < kMembersPerArchive; ++m)
            members.push_back({"song" + std::to_string(m) + ".mid", Bytes(kSmallMemberBytes, a * 16 + m)});
        char name[32];
        std::snprintf(name, sizeof name, "PACK%04d.LZH", a);
        natives.push_back(scratch.native + "/" + name);
        dosPaths.push_back(dosFolder + name);
        if (!WriteStoredLzh(natives.back(), members)) {
            std::fprintf(stderr, "cannot write %s\n", natives.back().c_str());
            return 1;
        }
    }
    std::vector<Member> bigMembers;
    for (int m = 0; m < kMembersPerArchive; ++m) {
        const bool big = m == kMembersPerArchive / 2;
        bigMembers.push_back({big ? "big.mid" : "small" + std::to_string(m) + ".mid",
                              Bytes(big ? kLargeMemberBytes : kSmallMemberBytes, 9000 + m)});
    }
    const std::string bigNative = scratch.native + "/BIG.LZH";
    const std::string bigDos = dosFolder + "BIG.LZH";
    if (!WriteStoredLzh(bigNative, bigMembers)) return 1;
    const std::string outNative = scratch.native + "/out";
    std::filesystem::create_directory(outNative);
    const std::string outDos = dosFolder + "out\\";

    // ---- Listing ----
    long layerEntries = 0, directEntries = 0;
    const int mode = kyro::ListingMode(kyro::kPurposeSongs, kyro::kFilterMidOrRcp);
    const auto layerListingRound = [&] {
        layerEntries = 0;
        std::vector<std::string> list;
        for (const auto& path : dosPaths) {
            if (kyro::ListArchiveMembers(library, path, list, mode) == kyro::kArchiveOk)
                layerEntries += static_cast<long>(list.size());
        }
    };
    const auto directListingRound = [&] {
        directEntries = 0;
        std::vector<std::string> names;
        for (const auto& path : natives) {
            names.clear();
            directEntries += std::max(0L, DirectListing(path, names));
        }
    };
    const kyro::bench::Comparison listing =
        kyro::bench::CompareInterleaved(kListingRounds, layerListingRound, directListingRound);
    const double layerListing = listing.medianA;
    const double directListing = listing.medianB;
    // Where the layer's listing time goes: the library calls it makes, each timed alone, and
    // the program's path resolver that the library calls for every path it is given.
    const kyro::ArchiveFunctions& fn = library->Functions();
    const double checkOnly = Best(kListingRounds, [&] {
        for (const auto& path : dosPaths) fn.CheckArchive(path.c_str(), 0);
    });
    const double openFindClose = Best(kListingRounds, [&] {
        for (const auto& path : dosPaths) {
            HARC archive = fn.OpenArchive(nullptr, path.c_str(), kyro::kOpenArchiveMode);
            INDIVIDUALINFO info {};
            for (int r = fn.FindFirst(archive, "*.*", &info); r == 0; r = fn.FindNext(archive, &info)) {
            }
            fn.CloseArchive(archive);
        }
    });
    const double resolving = Best(kListingRounds, [&] {
        char native[4096];
        for (const auto& path : dosPaths) kyro::bench::ResolveDosPath(path.c_str(), native, sizeof native);
    });
    const long expected = long{kArchives} * kMembersPerArchive;
    if (layerEntries != expected || directEntries != expected) {
        std::fprintf(stderr, "listing counts differ: layer %ld, direct %ld, expected %ld\n", layerEntries,
                     directEntries, expected);
        return 1;
    }

    // ---- Extraction ----
    bool extractionOk = true;
    const auto layerExtractionRound = [&] {
        for (int i = 0; i < kExtractionsPerRound; ++i) {
            std::string output;
            extractionOk &= kyro::ExtractArchiveMember(library, bigDos + "->big.mid", outDos, output) == kyro::kExtractOk;
            extractionOk &= kyro::DeleteTemporaryCopy(outDos, output);
        }
    };
    const double commandOnly = Best(kExtractionRounds, [&] {
        const std::string command = kyro::ExtractCommandLine(bigDos, outDos, "big.mid");
        char report[200];
        for (int i = 0; i < kExtractionsPerRound; ++i) {
            extractionOk &= fn.Command(nullptr, command.c_str(), report, sizeof report) == 0;
            extractionOk &= ::unlink((outNative + "/big.mid").c_str()) == 0;
        }
    });
    const auto directExtractionRound = [&] {
        for (int i = 0; i < kExtractionsPerRound; ++i) {
            const std::string destination = outNative + "/big.mid";
            extractionOk &= DirectExtraction(bigNative, "big.mid", destination);
            extractionOk &= ::unlink(destination.c_str()) == 0;
        }
    };
    const kyro::bench::Comparison extraction =
        kyro::bench::CompareInterleaved(kExtractionRounds, layerExtractionRound, directExtractionRound);
    const double layerExtraction = extraction.medianA;
    const double directExtraction = extraction.medianB;
    if (!extractionOk) {
        std::fprintf(stderr, "an extraction failed\n");
        return 1;
    }

    std::printf("listing %d archives of %d members (median of %d interleaved rounds):\n", kArchives,
                kMembersPerArchive, kListingRounds);
    std::printf("  archive layer (libunlha32.so)  %10.0f archives/s\n", kArchives / layerListing);
    std::printf("  liblhasa directly              %10.0f archives/s\n", kArchives / directListing);
    std::printf("  per archive: layer %.1f us = CheckArchive %.1f + OpenArchive..CloseArchive %.1f"
                " (each resolving the path: %.1f); liblhasa alone %.1f us\n",
                1e6 * layerListing / kArchives, 1e6 * checkOnly / kArchives, 1e6 * openFindClose / kArchives,
                1e6 * resolving / kArchives, 1e6 * directListing / kArchives);
    std::printf("extracting a %zu-byte member, %d times a round (median of %d interleaved rounds):\n", kLargeMemberBytes,
                kExtractionsPerRound, kExtractionRounds);
    std::printf("  archive layer (libunlha32.so)  %10.3f ms each\n", 1000 * layerExtraction / kExtractionsPerRound);
    std::printf("  Unlha() alone                  %10.3f ms each\n", 1000 * commandOnly / kExtractionsPerRound);
    std::printf("  liblhasa directly              %10.3f ms each\n", 1000 * directExtraction / kExtractionsPerRound);
    std::printf("ratio spread: listing %.2f..%.2f, extraction %.2f..%.2f\n", listing.lowest, listing.highest,
                extraction.lowest, extraction.highest);
    std::printf("listing ratio %.2f, extraction ratio %.2f\n", listing.ratio, extraction.ratio);
    return 0;
}
