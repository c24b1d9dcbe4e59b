// collection_relocation_bench: a collection brought from another machine, found again. The list
// names 8,991 songs on three drives of the old machine, a third of them members of LZH archives;
// on this one the files lie elsewhere, in a tree of about 100,000 files:
//
//   D:  copied whole (D:\MIDI\... is now home/u/old-d/MIDI/...)
//   E:  copied one level deeper, under another name (mnt/disk/e-backup/drive/LZH/...)
//   F:  split: 60 of its folders under media/usb/F, the other 40 under home/u/more
//   and four songs lost for good.
//
// The program's own steps run on it, as a user would take them: the Drives page's detection
// (accepting each proposal is one answer), then the lost-file check with its learnt moves. The
// check's finder walk is the finder's own (DriveWalk over every drive), and the user's answers
// are given here: the folder the finder found is taken (one answer), "apply to the rest" is Yes
// (one answer), and a song found nowhere is kept (one answer). The scratch folder stands in for
// "/" (drive Y:), its home/u for the home folder (C:).
//
// Last line: collection relocated N of M songs with Q answers in T ms (M: the songs that exist
// somewhere; T: detection and check, without making the collection).
//
// Usage: collection_relocation_bench [folder holding libunlha32.so]
#include "editor/learntmoves.h"
#include "platform/cp932bytes.h"
#include "platform/drivedetection.h"
#include "platform/drives.h"
#include "platform/drivewalk.h"
#include "platform/filesystem.h"
#include "songfiles/archiveaccess.h"

#include "benchsupport.h"
#include "lzhwriter.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kyro::bench::Clock;

constexpr int kGroups = 9;
constexpr int kPerGroup = 999;
constexpr int kFolders = 100;        // per drive
constexpr int kLooseSongs = 30;      // per folder of D: and F:
constexpr int kArchives = 3;         // per folder of E:
constexpr int kMembers = 10;         // per archive
constexpr int kFolderOnUsb = 60;     // F:'s folders on the USB disk; the rest in the home folder
constexpr int kLostForGood = 4;
constexpr int kTreeFiles = 100000;   // the whole tree, songs and archives included

const std::string kSong = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14);

void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

char Name(int n) { return char('0' + n); }
std::string Two(int n) { return {Name(n / 10 % 10), Name(n % 10)}; }
std::string Three(int n) { return Name(n / 100 % 10) + Two(n); }

struct Collection {
    std::vector<std::string> entries;  // the old list, in order
    int existing = 0;
};

// The collection in its new places under `root`, and the old list naming it.
Collection MakeCollection(const fs::path& root) {
    Collection c;
    std::vector<std::string> d, e, f;
    for (int folder = 0; folder < kFolders; ++folder) {
        for (int k = 0; k < kLooseSongs; ++k) {
            const std::string dName = "D" + Three(folder) + "_" + Two(k) + ".MID";
            WriteFile(root / "home/u/old-d/MIDI" / ("GENRE" + Two(folder)) / dName, kSong);
            d.push_back("D:\\MIDI\\GENRE" + Two(folder) + "\\" + dName);
            const std::string fName = "F" + Three(folder) + "_" + Two(k) + ".MID";
            const fs::path fPlace = folder < kFolderOnUsb ? root / "media/usb/F" : root / "home/u/more";
            WriteFile(fPlace / "SONGS" / ("A" + Two(folder)) / fName, kSong);
            f.push_back("F:\\SONGS\\A" + Two(folder) + "\\" + fName);
        }
        for (int a = 0; a < kArchives; ++a) {
            const std::string archive = "PACK" + Three(folder) + Name(a) + ".LZH";
            std::vector<kyro::test::LzhMember> members;
            for (int m = 0; m < kMembers; ++m) {
                const std::string member = "s" + Three(folder) + Name(a) + Two(m) + ".mid";
                members.push_back({member, "", kSong, 1});
                e.push_back("E:\\LZH\\SET" + Two(folder) + "\\" + archive + "->" + member);
            }
            const fs::path place = root / "mnt/disk/e-backup/drive/LZH" / ("SET" + Two(folder));
            fs::create_directories(place);
            kyro::test::WriteLzh((place / archive).string(), members);
        }
    }
    for (int k = 0; k < kLostForGood; ++k) d[std::size_t(k * 700)] = "D:\\MIDI\\GONE\\LOST" + Two(k) + ".MID";
    // Filler, so that the tree holds what a home folder and a few disks hold.
    const int filler = kTreeFiles - int(d.size() + f.size()) - kFolders * kArchives;
    for (int i = 0; i < filler; ++i)
        WriteFile(root / "home/u/other" / ("dir" + Three(i / 100)) / ("file" + Two(i % 100) + ".txt"), "x");

    // The list: the three drives' songs dealt into the groups in turn.
    for (std::size_t i = 0; c.entries.size() < std::size_t(kGroups * kPerGroup); ++i) {
        for (const auto* drive : {&d, &e, &f})
            if (i < drive->size() && c.entries.size() < std::size_t(kGroups * kPerGroup))
                c.entries.push_back((*drive)[i]);
    }
    c.existing = int(c.entries.size()) - kLostForGood;
    return c;
}

struct Entry {
    std::string path, member;
    bool archived = false;
    explicit Entry(const std::string& stored) {
        const auto arrow = stored.find("->");
        archived = arrow != std::string::npos;
        path = stored.substr(0, arrow);
        if (archived) member = stored.substr(arrow + 2);
    }
};

// The song is there: the file, and for a member the member in its archive.
bool SongPresent(const std::string& stored, const kyro::ArchiveLibrary* library) {
    const Entry entry(stored);
    if (!kyro::FileReadable(entry.path)) return false;
    std::string member = entry.member;
    return !entry.archived || kyro::FindArchiveMember(library, entry.path, member) == kyro::kArchiveOk;
}

// The lost songs after `from` that a move relocates.
int Reach(const kyro::FolderMove& move, const std::vector<std::string>& list, std::size_t from) {
    int songs = 0;
    for (std::size_t i = from; i < list.size(); ++i)
        if (const auto moved = kyro::ApplyMove(move, list[i]))
            songs += kyro::FileReadable(Entry(*moved).path) && !kyro::FileReadable(Entry(list[i]).path);
    return songs;
}

}  // namespace

int main(int argc, char** argv) {
    auto library = kyro::bench::LoadArchiveLibrary(argc, argv);
    if (!library) return 1;
    kyro::bench::ScratchFolder scratch("kyro-moved");
    if (scratch.native.empty()) return 1;
    const fs::path root = scratch.native;
    Collection collection = MakeCollection(root);
    std::printf("collection: %zu songs on D:, E:, F: (%d in archives), %d lost for good, in a tree of %d files\n",
                collection.entries.size(), kFolders * kArchives * kMembers, kLostForGood, kTreeFiles);

    // The old machine's drives, as the list's settings bring them, and this machine's.
    kyro::DriveMap drives;
    drives.Set('C', (root / "home/u").string());
    drives.Set('Y', root.string());
    for (const char letter : {'D', 'E', 'F'}) drives.Set(letter, (root / "old" / std::string(1, letter)).string());
    kyro::SetActiveDriveMap(drives);

    int answers = 0;
    const auto start = Clock::now();
    const std::vector<std::string> roots = {(root / "home/u").string(), (root / "media").string(),
                                            (root / "mnt").string()};
    const kyro::DriveDetection detection = kyro::DetectDrives(collection.entries, drives, roots);
    for (const kyro::DriveProposal& proposal : detection.proposals) {
        std::printf("detection: %c: -> %s: %zu / %zu songs\n", proposal.letter, proposal.folder.c_str(),
                    proposal.FoundInList(), proposal.songs);
        drives.Set(proposal.letter, proposal.folder);
        ++answers;  // accepted
    }
    kyro::SetActiveDriveMap(drives);
    const double detectionMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

    kyro::LearntMoves moves;
    moves.BeginCheck();
    auto& list = collection.entries;
    const auto present = [&](const std::string& path) { return SongPresent(path, library.get()); };
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (present(list[i])) continue;
        if (const auto relocation = moves.Relocate(list[i], present); relocation && relocation->move->confirmed) {
            list[i] = relocation->path;
            ++relocation->move->relocated;
            continue;
        }
        const Entry entry(list[i]);
        const std::string fileName = kyro::FileNamePart(entry.path);
        kyro::DriveWalk walk(fileName, drives);
        kyro::DriveWalk::Step step;
        while ((step = walk.Next()) == kyro::DriveWalk::Step::Continue) {
        }
        ++answers;  // the found folder taken, or the song kept as it is
        if (step != kyro::DriveWalk::Step::Found) continue;
        const std::string folder = walk.CurrentFolder();
        const std::string oldFolder = entry.path.substr(0, entry.path.size() - fileName.size());
        list[i] = folder + fileName + (entry.archived ? "->" + entry.member : std::string());
        if (const auto move = kyro::DeriveMove(oldFolder, folder, drives)) {
            kyro::LearntMove& learnt = moves.Learn(*move);
            if (Reach(*move, list, i + 1) > 0) {
                learnt.confirmed = true;  // "apply to the rest": Yes
                ++answers;
            }
        }
    }
    const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    for (const kyro::LearntMove& learnt : moves.All())
        std::printf("check: %s -> %s relocated %d songs\n", learnt.move.oldRoot.c_str(), learnt.move.newRoot.c_str(),
                    learnt.relocated);
    int relocated = 0;
    for (const std::string& path : list) relocated += present(path);
    std::printf("detection %.0f ms, check %.0f ms\n", detectionMs, totalMs - detectionMs);
    std::printf("collection relocated %d of %d songs with %d answers in %.0f ms\n", relocated, collection.existing,
                answers, totalMs);
    return relocated == collection.existing ? 0 : 1;
}
