// finder_walk_bench: the lost-file finder's walk of a drive against `find TREE -name NAME` over
// the same tree, for a name that is not there.
//
// The tree, written at start into a fresh folder under /tmp (removed at the end), has 111,111
// folders: five levels of ten, one in ten with a Japanese name, and a song file in each of the
// 100,000 deepest. A drive map holding only D:, mapped to the tree, is walked by the finder dialog
// itself (TfmFindDlg, shown offscreen): its walk, its folder caption and the events it lets run
// every fifth folder, as the user meets them. `find` runs as a child process. A first round of
// each side warms the caches and is not counted; then the two sides alternate (each goes first in
// every other round, interleaved.h) and the ratio is the median of the rounds' ratios, printed with
// their spread. The last line is the ratio finder / find.

#include "dialogs/tfmfinddlg.h"
#include "platform/drives.h"

#include "interleaved.h"
#include "processes.h"
#include "scratchfolder.h"

#include <QApplication>

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>


namespace {


constexpr int kLevels = 5;
constexpr int kFanOut = 10;
constexpr int kRounds = 7;
constexpr char kMissingName[] = "NOTHERE.MID";

std::string FolderName(int index) {
    // One in ten named "曲N", so that the walk converts some names through iconv as real disks make it.
    return index == 3 ? "\xE6\x9B\xB2" + std::to_string(index) : "F" + std::to_string(index);
}

bool MakeTree(const std::string& folder, int depth) {
    if (depth == kLevels) {
        const int fd = ::open((folder + "/SONG.MID").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }
    for (int i = 0; i < kFanOut; ++i) {
        const std::string sub = folder + "/" + FolderName(i);
        if (::mkdir(sub.c_str(), 0755) != 0 || !MakeTree(sub, depth + 1)) return false;
    }
    return true;
}

// The finder dialog's search for a name that is nowhere: it walks every folder and closes with No.
bool WalkWithTheFinder() {
    kyro::TfmFindDlg finder;
    finder.SetLostFile(std::string("D:\\") + kMissingName, kMissingName, "", false);
    return finder.Run() == kyro::ModalResult::No;
}

// `find ROOT -name NAME`, its output thrown away; false when it did not run or failed.
bool RunFind(const std::string& root) { return kyro::bench::RunQuietly({"find", root, "-name", kMissingName}); }

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the dialog needs no display
    QApplication app(argc, argv);
    const kyro::bench::ScratchFolder tree("kyro-finder-bench");
    if (tree.native.empty() || !MakeTree(tree.native, 0)) {
        std::fprintf(stderr, "cannot write the tree under /tmp\n");
        return 1;
    }
    kyro::DriveMap drives;
    drives.Set('D', tree.native);
    kyro::SetActiveDriveMap(drives);  // the finder walks the program's drives

    long expectedFolders = 1;
    for (int level = 1, width = 1; level <= kLevels; ++level) expectedFolders += (width *= kFanOut);

    bool walked = true;
    bool findRan = true;
    const auto finderRound = [&] { walked = WalkWithTheFinder() && walked; };
    const auto findRound = [&] { findRan = RunFind(tree.native) && findRan; };
    finderRound();  // a first round of each side warms the caches
    findRound();
    const kyro::bench::Comparison c = kyro::bench::CompareInterleaved(kRounds, finderRound, findRound);
    if (!walked || !findRan) {
        std::fprintf(stderr, "the finder %s; find %s\n", walked ? "walked" : "did not end with nothing found",
                     findRan ? "ran" : "failed");
        return 1;
    }

    std::printf("walk of %ld folders for a missing name (median of %d interleaved rounds):\n", expectedFolders, kRounds);
    std::printf("  the finder dialog, offscreen   %8.1f ms\n", 1000 * c.medianA);
    std::printf("  find -name                     %8.1f ms\n", 1000 * c.medianB);
    std::printf("ratio spread %.2f..%.2f\n", c.lowest, c.highest);
    std::printf("finder walk ratio %.2f\n", c.ratio);
    return 0;
}
