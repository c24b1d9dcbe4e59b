// The real program ended by a termination signal while it plays into a WAV file: it ends as BYE
// ends it, with the resume file, the title read while playing, and the WAV file finished under
// its name.
#include "library/listfiles.h"
#include "library/songlist.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kyro {
namespace {

using namespace std::chrono_literals;

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
        SongList songs;
        songs.groups[0].Append({"D:\\SONG.MID", kUntitledMarker, '0'});
        ASSERT_TRUE(SaveSongList(folder.Dos(), songs));  // the program folder in DOS form, with its "\"
        runtime = folder.MakeFolder("runtime");
        ::chmod(runtime.c_str(), 0700);
    }

    // Starts the program on the folder, offscreen; its process id.
    pid_t Start() const {
        std::vector<std::string> args = {KYRO_EXECUTABLE, "--folder", folder.Native()};
        std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime};
        for (char** e = environ; *e; ++e)
            if (!std::string(*e).starts_with("QT_QPA_PLATFORM=") && !std::string(*e).starts_with("XDG_RUNTIME_DIR="))
                env.push_back(*e);
        std::vector<char*> argv, envp;
        for (std::string& a : args) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        pid_t pid = -1;
        return ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid : -1;
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

    int status = 0;
    const bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 20s);
    if (!ended) ::kill(pid, SIGKILL);
    ASSERT_TRUE(ended) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_TRUE(folder.Exists("KYROSTAT.dat")) << "no resume file";
    EXPECT_EQ(folder.Read("KYROTitl.dat").substr(0, 13), "Signal song\r\n") << "the title read was lost";
    EXPECT_TRUE(folder.Exists("out.wav"));
    EXPECT_FALSE(folder.Exists("out.wav.part"));
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionEndTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Term" : info.param == SIGINT ? "Int" : "Hup");
                         });

}  // namespace
}  // namespace kyro
