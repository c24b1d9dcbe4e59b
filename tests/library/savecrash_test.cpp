// The list and its titles saved by a process that is killed at each step of the save, and again
// at each step of the next start's recovery: that start sees the old pair or the new pair, never
// a new list with old titles, and nothing is left beside them. Every run is process 1, as in a
// sandbox, so no run can tell another's leftovers by their number.

#include "library/listfiles.h"
#include "platform/filelock.h"
#include "platform/filereplace.h"
#include "platform/tempfiles.h"
#include "support/messagerecorder.h"
#include "support/processone.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace kyro {
namespace {

using test::kKilledAtStep;
using test::kWorkFinished;

// True when the work finished before the step at which it was to be killed.
bool RunKilledAtStep(int step, const std::function<void()>& work) {
    const int code = test::RunKilledAtStep(step, work);
    EXPECT_TRUE(code == kKilledAtStep || code == kWorkFinished) << code;
    return code == kWorkFinished;
}

SongList Songs(int count, const std::string& tag) {
    SongList list;
    for (int k = 0; k < count; ++k)
        list.groups[k % 2].Append({"D:\\" + tag + std::to_string(k) + ".MID", tag + " title " + std::to_string(k), '1'});
    return list;
}

constexpr char kLockFile[] = "KYROTUNE.LCK";

class SaveCrashTest : public ::testing::Test {
protected:
    // What a start does first: it takes the folder's lock, then puts right what ended runs left.
    // `locked` false: a run that could not take the lock (a folder where it cannot be made).
    void Recover(bool locked = true) const {
        const FileLock lock(folder.Native(kLockFile), true);
        const bool sole = locked && lock.Held();
        RecoverInterruptedWrites(folder.Dos(), {kListFileName, kTitleFileName},
                                 sole ? FolderAccess::SoleWriter : FolderAccess::Shared);
    }
    void StartUp(bool locked = true) const {
        EXPECT_EQ(test::RunAsProcessOne([&] {
                      Recover(locked);
                      return kWorkFinished;
                  }),
                  kWorkFinished);
    }

    // What the next start sees, after its recovery, must be one of the two pairs, and whole.
    void ExpectOnePairAndNoLeftovers(const std::string& where, const std::vector<SongList>& pairs) const {
        SCOPED_TRACE(where);
        SongList loaded;
        LoadSongList(folder.Dos(), 0, loaded);
        EXPECT_TRUE(std::find(pairs.begin(), pairs.end(), loaded) != pairs.end());
        EXPECT_EQ(folder.Entries(""), (std::vector<std::string>{kListFileName, kLockFile, kTitleFileName}));
    }

    test::TempFolder folder;
    test::MessageRecorder messages;
    const SongList oldList = Songs(5, "old");
    const SongList newList = Songs(8, "new");
};

TEST_F(SaveCrashTest, EveryKillLeavesTheOldPairOrTheNewPair) {
    bool saveFinished = false;
    int saveSteps = 0;
    for (int step = 1; !saveFinished && step < 100; ++step) {
        ASSERT_TRUE(SaveSongList(folder.Dos(), oldList));
        saveFinished = RunKilledAtStep(step, [this] { SaveSongList(folder.Dos(), newList); });
        saveSteps = step;
        // The next start may be killed in its recovery too, at each of its steps.
        for (int recoveryStep = 1; recoveryStep < 100; ++recoveryStep)
            if (RunKilledAtStep(recoveryStep, [this] { Recover(); })) break;
        StartUp();
        ExpectOnePairAndNoLeftovers("killed at save step " + std::to_string(step), {oldList, newList});
    }
    EXPECT_TRUE(saveFinished);
    SongList loaded;
    LoadSongList(folder.Dos(), 0, loaded);
    EXPECT_EQ(loaded, newList);
    EXPECT_GT(saveSteps, 6) << "the hook saw too few steps to have tested anything";
}

// A run that could not recover (once, a run whose own number was the killed run's) left a whole
// journal; the user then saved again. The next start used to replay the journal and undo that
// save without a word.
TEST_F(SaveCrashTest, AJournalLeftBehindNeverUndoesALaterSave) {
    const SongList laterList = Songs(3, "later");
    int journalsLeft = 0;
    for (int step = 1; step < 100; ++step) {
        ASSERT_TRUE(SaveSongList(folder.Dos(), oldList));
        if (RunKilledAtStep(step, [this] { SaveSongList(folder.Dos(), newList); })) break;
        StartUp(false);  // the killed run's number is alive: nothing can be put right
        const auto entries = folder.Entries("");
        journalsLeft += std::any_of(entries.begin(), entries.end(),
                                    [](const std::string& name) { return name.ends_with(".journal"); });
        EXPECT_EQ(test::RunAsProcessOne([&] { return SaveSongList(folder.Dos(), laterList) ? kWorkFinished : 0; }),
                  kWorkFinished);
        StartUp();
        ExpectOnePairAndNoLeftovers("killed at save step " + std::to_string(step), {laterList});
    }
    EXPECT_GT(journalsLeft, 2) << "too few kills left a journal to have tested anything";
}

}  // namespace
}  // namespace kyro
