// The list and its titles saved by a process that is killed at each step of the save, and again
// at each step of the next start's recovery: that start sees the old pair or the new pair, never
// a new list with old titles, and nothing is left beside them.

#include "library/listfiles.h"
#include "platform/filereplace.h"
#include "platform/tempfiles.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace kyro {
namespace {

constexpr int kKilled = 41;
constexpr int kFinished = 42;

int g_stepsLeft = 0;

void KillAtStep() {
    if (--g_stepsLeft == 0) ::_exit(kKilled);
}

// Runs `work` in a child process that dies, as if killed, after its `step`-th disk change.
// True when the work finished before that step.
bool RunKilledAtStep(int step, const std::function<void()>& work) {
    const pid_t child = ::fork();
    if (child == 0) {
        g_stepsLeft = step;
        SetWriteStepHook(&KillAtStep);
        work();
        ::_exit(kFinished);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(WEXITSTATUS(status) == kKilled || WEXITSTATUS(status) == kFinished);
    return WEXITSTATUS(status) == kFinished;
}

SongList Songs(int count, const std::string& tag) {
    SongList list;
    for (int k = 0; k < count; ++k)
        list.groups[k % 2].Append({"D:\\" + tag + std::to_string(k) + ".MID", tag + " title " + std::to_string(k), '1'});
    return list;
}

class SaveCrashTest : public ::testing::Test {
protected:
    void Recover() const { RecoverInterruptedWrites(folder.Dos(), {kListFileName, kTitleFileName}); }

    // What the next start sees, after its recovery, must be one of the two pairs, and whole.
    void ExpectOnePairAndNoLeftovers(const std::string& where) const {
        SCOPED_TRACE(where);
        SongList loaded;
        LoadSongList(folder.Dos(), 0, loaded);
        EXPECT_TRUE(loaded == oldList || loaded == newList);
        EXPECT_EQ(folder.Entries(""), (std::vector<std::string>{kListFileName, kTitleFileName}));
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
        Recover();
        ExpectOnePairAndNoLeftovers("killed at save step " + std::to_string(step));
    }
    EXPECT_TRUE(saveFinished);
    SongList loaded;
    LoadSongList(folder.Dos(), 0, loaded);
    EXPECT_EQ(loaded, newList);
    EXPECT_GT(saveSteps, 6) << "the hook saw too few steps to have tested anything";
}

}  // namespace
}  // namespace kyro
