// kyrotune --to-midi: songs of every kind the player plays, written as MIDI files that play the
// same; and the failures, which leave OUT as it was.
#include "app/tomidi.h"

#include "app/conversioncommand.h"
#include "sequencer/midifile.h"
#include "sequencer/songfile.h"
#include "support/tempfolder.h"
#include "tests/sequencer/rcpwriter.h"

#include "lzhwriter.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <utility>

namespace kyro {
namespace {

using test::RcpGeneration;
using namespace std::string_literals;

std::string RcpBytes(RcpGeneration generation) {
    test::RcpSong song;
    song.generation = generation;
    song.title = "CONVERTED";
    song.tempo = 96;
    for (std::uint8_t channel : {0, 1, 9}) {
        test::RcpTrack track;
        track.channel = channel;
        track.records = {test::Command(0xE2, 0, static_cast<std::uint16_t>(channel + 10)),  // program
                         test::Note(60, 48, 40, 100), test::Note(64, 0, 40, 90), test::Note(67, 48, 40, 80),
                         test::MeasureEnd()};
        song.tracks.push_back(track);
    }
    const std::vector<std::uint8_t> bytes = test::WriteRcp(song);
    return std::string(bytes.begin(), bytes.end());
}

// Messages by time; same-time messages of different channels are compared as a sorted list,
// since the file puts them in channel order.
std::map<std::int64_t, std::vector<std::vector<std::uint8_t>>> ByTime(const SongReadResult& read) {
    std::map<std::int64_t, std::vector<std::vector<std::uint8_t>>> times;
    for (const SongEvent& e : read.song.events) times[e.timeUs].push_back(e.message);
    for (auto& [time, messages] : times) std::sort(messages.begin(), messages.end());
    return times;
}

SongReadResult ReadBytes(const std::string& bytes) {
    return ReadSongFile(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// A program folder with the archive library, drive D: mapped to a folder of songs, and TMPDIR
// pointing into the test folder, where unpacked members must not stay.
class ToMidiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tmp = std::getenv("TMPDIR")) oldTmpDir_ = tmp;
        ::setenv("TMPDIR", folder_.MakeFolder("tmp").c_str(), 1);
        folder_.Write("program/KYRO32.INI", "[Drives]\r\nD=" + folder_.Native("drive") + "\r\n");
        std::filesystem::create_symlink(std::string(KYRO_UNLHA32_DIR) + "/libunlha32.so",
                                        folder_.Native("program/libunlha32.so"));
        folder_.Write("drive/SONG.MID", test::SampleSong(7, 40));
        folder_.Write("drive/SONG2.RCP", rcp2_);
        folder_.Write("drive/SONG3.MID", rcp3_);  // a 3.x file under a MIDI file's name
        folder_.Write("drive/BROKEN.MID", "MThd\0\0\0\6\0\1\0\1\1\xE0MTrk\0\0\0\4\0\x90\x80\x80"s);
        folder_.Write("drive/LZH/PACK.LZH", test::BuildLzh({{"a.rcp", "", rcp2_, 1}}));
    }

    void TearDown() override {
        EXPECT_EQ(folder_.Entries("tmp"), std::vector<std::string>{});
        if (oldTmpDir_) ::setenv("TMPDIR", oldTmpDir_->c_str(), 1);
        else ::unsetenv("TMPDIR");
    }

    int Convert(const std::string& in, const std::string& out) {
        return ConvertToMidi(in, out, folder_.Native("program"), errors_);
    }

    test::TempFolder folder_;
    std::optional<std::string> oldTmpDir_;
    std::ostringstream errors_;
    const std::string rcp2_ = RcpBytes(RcpGeneration::V2);
    const std::string rcp3_ = RcpBytes(RcpGeneration::V3);
};

struct Success {
    const char* name;
    std::string in;      // "%" stands for the test folder
    std::string source;  // the song file it names, in the test folder
};
void PrintTo(const Success& s, std::ostream* os) { *os << s.in; }

class ToMidiSuccess : public ToMidiTest, public ::testing::WithParamInterface<Success> {};

TEST_P(ToMidiSuccess, WritesWhatThePlayerWouldSend) {
    std::string in = GetParam().in;
    if (const auto at = in.find('%'); at != std::string::npos) in.replace(at, 1, folder_.Native());
    ASSERT_EQ(Convert(in, folder_.Native("out.mid")), kConversionOk) << errors_.str();
    EXPECT_EQ(errors_.str(), "");

    const SongReadResult expected = ReadBytes(folder_.Read(GetParam().source));
    const SongReadResult written = ReadBytes(folder_.Read("out.mid"));
    ASSERT_TRUE(expected.ok) << expected.error;
    ASSERT_TRUE(written.ok) << written.error;
    EXPECT_FALSE(expected.song.events.empty());
    EXPECT_EQ(ByTime(written), ByTime(expected));
    EXPECT_EQ(written.song.lengthUs, expected.song.lengthUs);
    // Nothing left behind: neither a temporary OUT nor an unpacked member.
    EXPECT_EQ(folder_.Entries(""), (std::vector<std::string>{"drive", "out.mid", "program", "tmp"}));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ToMidiSuccess,
    ::testing::Values(Success{"MidiFile", "%/drive/SONG.MID", "drive/SONG.MID"},
                      Success{"Rcp2", "%/drive/SONG2.RCP", "drive/SONG2.RCP"},
                      Success{"Rcp3NamedMid", "%/drive/SONG3.MID", "drive/SONG3.MID"},
                      Success{"DosPath", "D:\\song2.rcp", "drive/SONG2.RCP"},
                      Success{"ArchiveMemberNativePath", "%/drive/LZH/PACK.LZH->a.rcp", "drive/SONG2.RCP"},
                      Success{"ArchiveMemberDosPath", "D:\\LZH\\PACK.LZH->a.rcp", "drive/SONG2.RCP"}),
    [](const ::testing::TestParamInfo<Success>& info) { return std::string(info.param.name); });

struct Failure {
    const char* name;
    std::string in;   // "%" stands for the test folder
    std::string out;  // in the test folder
    int exitCode;
};
void PrintTo(const Failure& f, std::ostream* os) { *os << f.in << " to " << f.out; }

class ToMidiFailure : public ToMidiTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(ToMidiFailure, SaysWhyAndLeavesOutAsItWas) {
    std::string in = GetParam().in;
    if (const auto at = in.find('%'); at != std::string::npos) in.replace(at, 1, folder_.Native());
    folder_.Write("old.mid", "old contents");
    const std::vector<std::string> before = folder_.Entries("");

    EXPECT_EQ(Convert(in, folder_.Native(GetParam().out)), GetParam().exitCode);
    EXPECT_NE(errors_.str().find(GetParam().exitCode == kConversionCannotRead ? in : folder_.Native(GetParam().out)),
              std::string::npos)
        << errors_.str();
    EXPECT_EQ(folder_.Read("old.mid"), "old contents");
    EXPECT_EQ(folder_.Entries(""), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ToMidiFailure,
    ::testing::Values(Failure{"MissingFile", "%/drive/NONE.MID", "new.mid", kConversionCannotRead},
                      Failure{"DamagedFile", "%/drive/BROKEN.MID", "old.mid", kConversionCannotRead},
                      Failure{"MissingMember", "D:\\LZH\\PACK.LZH->none.rcp", "new.mid", kConversionCannotRead},
                      Failure{"UnwritableFolder", "%/drive/SONG.MID", "none/new.mid", kConversionCannotWrite},
                      Failure{"OutIsAFolder", "%/drive/SONG.MID", "drive", kConversionCannotWrite}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

// The texts the player gives too.
TEST_F(ToMidiTest, DamagedSongGivesTheReadersOwnText) {
    folder_.Write("drive/JUNK.RCP", "not a song at all");
    folder_.Write("drive/HUGE.MID", "");
    std::filesystem::resize_file(folder_.Native("drive/HUGE.MID"), kMaxMidiFileBytes + 1);
    const std::pair<const char*, const char*> cases[] = {{"drive/BROKEN.MID", "MIDI ファイルが壊れています"},
                                                         {"drive/JUNK.RCP", kNotRcpFileText},
                                                         {"drive/HUGE.MID", kSongFileTooLargeText}};
    for (const auto& [in, text] : cases) {
        errors_.str("");
        EXPECT_EQ(Convert(folder_.Native(in), folder_.Native("new.mid")), kConversionCannotRead) << in;
        EXPECT_NE(errors_.str().find(text), std::string::npos) << errors_.str();
    }
}

// The real program, started without a display: it converts, and says so in its exit code.
TEST_F(ToMidiTest, RunsWithoutADisplay) {
    auto run = [&](const std::string& in) {
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= '" KYRO_EXECUTABLE
                                    "' --to-midi '" + in + "' '" + folder_.Native("run.mid") + "' --folder '" +
                                    folder_.Native("program") + "' 2>/dev/null";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("D:\\LZH\\PACK.LZH->a.rcp"), kConversionOk);
    EXPECT_EQ(ByTime(ReadBytes(folder_.Read("run.mid"))), ByTime(ReadBytes(rcp2_)));
    EXPECT_EQ(run(folder_.Native("drive/NONE.MID")), kConversionCannotRead);
}

// Without --to-midi the executable runs the player from libkyrotune-app.so beside it, and says
// plainly when that library is missing. An unknown option ends the player at once, with the
// complaint of its command-line parser.
TEST_F(ToMidiTest, ThePlayerComesFromTheLibraryBesideTheExecutable) {
    const std::string runtime = folder_.MakeFolder("runtime");
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    auto run = [&](const std::string& executable) {
        // Qt wants a runtime folder of its own, else it makes one in TMPDIR.
        const std::string command = "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR='" + runtime + "' '" + executable +
                                    "' --no-such-option >'" + folder_.Native("out.txt") + "' 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(KYRO_EXECUTABLE), 1);
    EXPECT_NE(folder_.Read("out.txt").find("no-such-option"), std::string::npos) << folder_.Read("out.txt");
    EXPECT_EQ(folder_.Read("out.txt").find("cannot be loaded"), std::string::npos) << folder_.Read("out.txt");

    std::filesystem::copy_file(KYRO_EXECUTABLE, folder_.Native("kyrotune"));
    std::filesystem::permissions(folder_.Native("kyrotune"), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(run(folder_.Native("kyrotune")), 1);
    EXPECT_NE(folder_.Read("out.txt").find("libkyrotune-app.so cannot be loaded"), std::string::npos)
        << folder_.Read("out.txt");
}

}  // namespace
}  // namespace kyro
