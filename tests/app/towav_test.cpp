// kyrotune --to-wav, the real program run without a display: the demo's songs of each kind rendered
// at their length and release, and the failures, which leave no file behind.
#include "app/conversioncommand.h"
#include "app/conversioninput.h"
#include "app/programfolder.h"

#include "sequencer/wavreader.h"
#include "support/tempfolder.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace kyro {
namespace {

using namespace std::string_literals;

constexpr long kRate = 44100;
constexpr int kSilence = 8;           // sample level below which a frame counts as silent
constexpr long kReleaseStep = 4096;   // the release is rendered, and ended, in steps of this many frames

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

struct Conversion {
    const char* name;
    std::string in, out;  // "%" stands for the test folder
    std::string more;     // further arguments
    int exitCode;
    std::string said;     // in the error text of a failure; "%" stands for the test folder
};
void PrintTo(const Conversion& c, std::ostream* os) { *os << c.in << " to " << c.out << c.more; }

// A program folder with the build's reset files and archive library, and drive D: on the demo.
class ToWavTest : public ::testing::TestWithParam<Conversion> {
protected:
    void SetUp() override {
        folder_.Write("program/KYRO32.INI", "[Drives]\r\nD=" KYRO_DEMO_DIR "\r\n");
        std::vector<std::string> names(kResetFileNames.begin(), kResetFileNames.end());
        names.push_back("libunlha32.so");  // for the test's own reading of an archived song
        for (const std::string& name : names)
            std::filesystem::create_symlink(std::filesystem::path(KYRO_PROGRAM_DIR) / name,
                                            folder_.Native("program/" + name));
        folder_.MakeFolder("tmp");
        folder_.Write("errors.txt", "");
    }

    std::string Expand(std::string text) const {
        if (const auto at = text.find('%'); at != std::string::npos) text.replace(at, 1, folder_.Native());
        return text;
    }

    // Runs the conversion of the parameter; standard error goes to errors.txt.
    int Run() const {
        const Conversion& c = GetParam();
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= TMPDIR=" +
                                    Quoted(folder_.Native("tmp")) + " " + Quoted(KYRO_EXECUTABLE) + " --to-wav " +
                                    Quoted(Expand(c.in)) + " " + Quoted(Expand(c.out)) + c.more + " --folder " +
                                    Quoted(folder_.Native("program")) + " 2>" + Quoted(folder_.Native("errors.txt"));
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    test::TempFolder folder_;
};

// The recording holds the whole song from its first frame (a reset file adds no time), then its
// release: until the sound is silent, so the last sound lies in the last release step, or 3 s.
TEST_P(ToWavTest, RecordsTheSongAndItsRelease) {
    ASSERT_EQ(Run(), kConversionOk) << folder_.Read("errors.txt");
    EXPECT_EQ(folder_.Read("errors.txt"), "");
    EXPECT_EQ(folder_.Entries(""), (std::vector<std::string>{"errors.txt", "program", "song.wav", "tmp"}));

    const SongReadResult read = ToSong(ReadConversionInput(Expand(GetParam().in), folder_.Native("program")));
    ASSERT_TRUE(read.ok) << read.error;
    const long songFrames = long(read.song.lengthUs * kRate / 1000000);
    const auto firstNote = std::find_if(read.song.events.begin(), read.song.events.end(), [](const SongEvent& e) {
        return e.message.size() == 3 && (e.message[0] & 0xF0) == 0x90 && e.message[2] > 0;
    });
    ASSERT_NE(firstNote, read.song.events.end());
    const long firstNoteFrame = long(firstNote->timeUs * kRate / 1000000);

    const test::WavFileData wav = test::ReadWavFile(folder_.Native("song.wav"));
    ASSERT_EQ(wav.error, "");
    EXPECT_GT(wav.Peak(), 1000) << "the recording is silent";
    const long frames = long(wav.Frames());
    EXPECT_GE(frames, songFrames) << "the song is cut";
    EXPECT_LE(frames, songFrames + 3 * kRate) << "the release runs past 3 s";
    if (frames < songFrames + 3 * kRate) {
        EXPECT_GE(wav.LastFrameAbove(kSilence), frames - kReleaseStep) << "silence after the release";
    }
    // The first note sounds from its block, or after a short attack: not after a reset file's pause.
    EXPECT_GE(wav.FirstFrameAbove(kSilence), firstNoteFrame - 32);
    EXPECT_LT(wav.FirstFrameAbove(kSilence), firstNoteFrame + kRate / 20);
}

INSTANTIATE_TEST_SUITE_P(
    DemoSongs, ToWavTest,
    ::testing::Values(Conversion{"MidiFile", KYRO_DEMO_DIR "/SONGS/AMAZING.MID", "%/song.wav", "", 0, ""},
                      Conversion{"RcpFileAfterGM", "D:\\SONGS\\CANON.RCP", "%/song.wav", " --map GM", 0, ""},
                      Conversion{"ArchiveMemberAfter88", "D:\\LZH\\NIHON.LZH->sakura.mid", "%/song.wav", " --map=88",
                                 0, ""}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

using ToWavFailure = ToWavTest;

TEST_P(ToWavFailure, SaysWhyAndLeavesNoFile) {
    folder_.Write("old.wav", "the earlier take");
    folder_.Write("BROKEN.MID", "MThd\0\0\0\6\0\1\0\1\1\xE0MTrk\0\0\0\4\0\x90\x80\x80"s);
    const std::vector<std::string> before = folder_.Entries("");

    EXPECT_EQ(Run(), GetParam().exitCode);
    const std::string errors = folder_.Read("errors.txt");
    EXPECT_NE(errors.find(Expand(GetParam().said)), std::string::npos) << errors;
    EXPECT_EQ(folder_.Read("old.wav"), "the earlier take");
    EXPECT_EQ(folder_.Entries(""), before);
    EXPECT_EQ(folder_.Entries("tmp"), std::vector<std::string>{});
}

const std::string kDemoSong = KYRO_DEMO_DIR "/SONGS/AMAZING.MID";

INSTANTIATE_TEST_SUITE_P(
    Inputs, ToWavFailure,
    ::testing::Values(
        Conversion{"MissingSong", "D:\\SONGS\\NONE.MID", "%/new.wav", "", kConversionCannotRead, "D:\\SONGS\\NONE.MID"},
        Conversion{"DamagedSong", "%/BROKEN.MID", "%/old.wav", "", kConversionCannotRead, "%/BROKEN.MID"},
        Conversion{"MissingMember", "D:\\LZH\\NIHON.LZH->none.mid", "%/old.wav", " --map GM", kConversionCannotRead,
                   "NIHON.LZH->none.mid"},
        Conversion{"UnwritableFolder", kDemoSong, "%/none/new.wav", "", kConversionCannotWrite, "%/none/new.wav"},
        Conversion{"OutIsAFolder", kDemoSong, "%/tmp", "", kConversionCannotWrite, "%/tmp"},
        Conversion{"UnknownMap", kDemoSong, "%/old.wav", " --map SC", kConversionBadArguments,
                   "--map none|88|55|GM|8P"}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kyro
