// The real program ended by a termination signal while it plays into a WAV file: it ends as BYE
// ends it, with the resume file, the title read while playing, and the WAV file finished under
// its name.
#include "library/listfiles.h"
#include "library/songlist.h"
#include "platform/tempfiles.h"
#include "support/endedrun.h"
#include "support/processone.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kyro {
namespace {

using namespace std::chrono_literals;

constexpr char kResumeFile[] = "KYROSTAT.dat";

// A song of 30 seconds whose title event says "Signal song".
std::string LongSongWithATitle() {
    const std::string track = std::string("\x00\xFF\x03\x0B" "Signal song", 15) +
                              std::string("\x00\x90\x3C\x40\xAD\x00\x80\x3C\x00\x00\xFF\x2F\x00", 13);
    return std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0", 21) + char(track.size()) + track;
}

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit) {
    for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

class SessionEndTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        folder.Write("KYRO32.INI", "[KYRO32]\r\nWarningMsg=0\r\nAutoStart=1\r\nListRandomType=3\r\nGroupRandomType=2\r\n"
                                   "[Drives]\r\nD=" + folder.Native() + "\r\n[MIDI]\r\nOutput=wav\r\nWavFile=out.wav\r\n");
        folder.Write("SONG.MID", LongSongWithATitle());
        folder.MakeFolder("temp");
        SongList songs;
        songs.groups[0].Append({"D:\\SONG.MID", kUntitledMarker, '0'});
        ASSERT_TRUE(SaveSongList(folder.Dos(), songs));  // the program folder in DOS form, with its "\"
        runtime = folder.MakeFolder("runtime");
        ::chmod(runtime.c_str(), 0700);
    }

    // Starts the program on the folder, offscreen, after the words of `wrapper`; the process id.
    // Its standard error goes to the file "stderr".
    pid_t Start(std::vector<std::string> wrapper = {}) const {
        std::vector<std::string> args = std::move(wrapper);
        for (const std::string& a : {std::string(KYRO_EXECUTABLE), std::string("--folder"), folder.Native()})
            args.push_back(a);
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime,
                                        "TEMP=" + folder.Native("temp")};
        for (char** e = environ; *e; ++e)
            if (!std::string(*e).starts_with("QT_QPA_PLATFORM=") && !std::string(*e).starts_with("XDG_RUNTIME_DIR=") &&
                !std::string(*e).starts_with("TEMP="))
                env.push_back(*e);
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 2, folder.Native("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                           0644);
        pid_t pid = -1;
        const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        ::posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }

    // Waits for the program to end; its exit status, or -1 when it had to be killed.
    static int WaitForEnd(pid_t pid) {
        int status = 0;
        const bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 20s);
        if (!ended) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        return status;
    }

    test::TempFolder folder;
    std::string runtime;
};

TEST_P(SessionEndTest, TheProgramEndsAsByeEndsIt) {
    const pid_t pid = Start();
    ASSERT_GT(pid, 0);
    // Playing has begun once the WAV file is being written.
    const bool playing = WaitFor([&] { return folder.Exists("out.wav.part"); }, 20s);
    if (!playing) ::kill(pid, SIGKILL);
    ASSERT_TRUE(playing) << "the song did not start";
    std::this_thread::sleep_for(500ms);
    ::kill(pid, GetParam());

    const int status = WaitForEnd(pid);
    ASSERT_NE(status, -1) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(folder.Exists("KYROSTAT.dat")) << "no resume file";
    EXPECT_EQ(folder.Read("KYROTitl.dat").substr(0, 13), "Signal song\r\n") << "the title read was lost";
    EXPECT_TRUE(folder.Exists("out.wav"));
    EXPECT_FALSE(folder.Exists("out.wav.part"));
}

// Nobody may be there to answer when the session ends: a file the end cannot write is said on
// standard error, and the exit says that something was lost.
TEST_F(SessionEndTest, AFileTheEndCannotWriteIsSaidAndTheExitIsNotClean) {
    folder.Write(kResumeFile, "");
    ::chmod(folder.Native(kResumeFile).c_str(), 0444);
    const pid_t pid = Start();
    ASSERT_GT(pid, 0);
    const bool playing = WaitFor([&] { return folder.Exists("out.wav.part"); }, 20s);
    if (!playing) ::kill(pid, SIGKILL);
    ASSERT_TRUE(playing) << "the song did not start";
    ::kill(pid, SIGTERM);
    const int status = WaitForEnd(pid);
    ASSERT_NE(status, -1) << "the program did not end (a message box waiting for an answer?)";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_NE(folder.Read("stderr").find(std::string("kyrotune: ﾌｧｲﾙ D:\\") + kResumeFile + " を作成できません"),
              std::string::npos)
        << folder.Read("stderr");
    EXPECT_EQ(folder.Read("KYROTitl.dat").substr(0, 13), "Signal song\r\n") << "the titles were still saved";
}

// In a sandbox every start is process 1, so the number in a leftover's name is always that of a
// live process. The real program, started so, still finishes the save a killed run left and
// removes the folder a killed run unpacked into.
TEST_F(SessionEndTest, InASandboxTheStartPutsRightWhatAKilledRunLeft) {
    // An ordinary user makes a PID namespace inside a user namespace of its own.
    std::vector<std::string> sandbox = {"unshare", "--pid", "--fork", "--mount-proc", "--kill-child=SIGTERM"};
    if (std::system("unshare --pid --fork --mount-proc true 2>/dev/null") != 0) {
        if (std::system("unshare --user --map-root-user --pid --fork --mount-proc true 2>/dev/null") != 0)
            GTEST_SKIP() << "this machine makes no PID namespaces for this user";
        sandbox.insert(sandbox.begin() + 1, {"--user", "--map-root-user"});
    }
    SongList saved;
    saved.groups[0].Append({"D:\\SONG.MID", "Saved title", '0'});
    saved.groups[0].Append({"D:\\SONG.MID", "Second", '0'});
    bool journalLeft = false;
    for (int step = 1; step < 30 && !journalLeft; ++step) {
        ASSERT_EQ(test::RunKilledAtStep(step, [&] { SaveSongList(folder.Dos(), saved); }), test::kKilledAtStep);
        for (const std::string& name : folder.Entries(""))  // a whole journal: the save is to be finished
            journalLeft |= name.ends_with(".journal") && !folder.Read(name).empty();
    }
    ASSERT_TRUE(journalLeft);
    const std::string killedRun = std::string("temp/") + test::FolderOfAnEndedRun(folder.Native("temp"));

    const pid_t pid = Start(sandbox);
    ASSERT_GT(pid, 0);
    const bool recovered = WaitFor([&] { return !folder.Exists(killedRun) && folder.Exists("temp") &&
                                                folder.Entries("temp").size() == 1; }, 20s);
    std::this_thread::sleep_for(500ms);
    // unshare passes no signal on: the program, its child, is told directly, and unshare ends with it.
    pid_t program = -1;
    std::ifstream("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children") >> program;
    ::kill(program, SIGTERM);
    EXPECT_NE(WaitForEnd(pid), -1) << "the program did not end";
    EXPECT_TRUE(recovered) << "the killed run's unpack folder is still there";
    SongList loaded;
    LoadSongList(folder.Dos(), 0, loaded);
    EXPECT_EQ(loaded.groups[0].Count(), 2);
    EXPECT_EQ(loaded.groups[0].Title(0), "Saved title");
    for (const std::string& name : folder.Entries("")) EXPECT_NE(name[0], '.') << name << " was left";
    EXPECT_TRUE(folder.Entries("temp").empty()) << "the program's own unpack folder outlived it";
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionEndTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Term" : info.param == SIGINT ? "Int" : "Hup");
                         });

}  // namespace
}  // namespace kyro
