// The demo program folder played through the real sequencer, the real archive library and
// FluidSynth rendering to a WAV file (with the clock scaled): a song unpacked from the archive
// with its reset file, then a loose song after it, back to back; and the archive's RCP song.
#include "app/tfmmid.h"

#include "library/listfiles.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"
#include "sequencer/player.h"
#include "sequencer/recordingoutput.h"
#include "sequencer/wavreader.h"
#include "support/messagerecorder.h"
#include "support/tempfolder.h"
#include "widgets/mpanel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kyro {
namespace {

namespace fs = std::filesystem;

// Everything the engine sends goes to the recording log and on to the real output.
class TeeOutput : public MidiOutput {
public:
    TeeOutput(std::unique_ptr<MidiOutput> real, std::shared_ptr<test::RecordingLog> log)
        : real_(std::move(real)), log_(std::move(log)) {}
    void Send(std::int64_t songTimeUs, const std::uint8_t* data, std::size_t size) override {
        log_->AddMessage(songTimeUs, data, size);
        real_->Send(songTimeUs, data, size);
    }
    void Flush(std::int64_t songTimeUs) override {
        log_->AddFlush(songTimeUs);
        real_->Flush(songTimeUs);
    }

private:
    std::unique_ptr<MidiOutput> real_;
    std::shared_ptr<test::RecordingLog> log_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

// Runs the event loop until the condition holds; false after the time limit.
bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 30000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool IsNoteOn(const test::RecordedMessage& m) { return test::IsNoteOn(m.bytes); }

class DemoPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        demo = folder.Native("demo");
        fs::copy(KYRO_DEMO_DIR, demo, fs::copy_options::recursive);
        for (const char* reset : {"GM.MID", "55MAP.MID", "88MAP.MID", "88Pro.MID"})
            fs::copy_file(fs::path(KYRO_PROGRAM_DIR) / reset, fs::path(demo) / reset);
        folder.MakeFolder("temp");

        // Both modes SEQUENTIAL and no auto start, so the test chooses the songs; drive D: is
        // the copy; the player renders to a WAV file twenty times faster than real time.
        std::string ini = ReadAll(demo + "/KYRO32.INI");
        Replace(ini, "ListRandomType=1", "ListRandomType=3");
        Replace(ini, "AutoStart=5", "AutoStart=0");
        ini += "[Drives]\r\nD=" + demo + "\r\n[MIDI]\r\nOutput=wav\r\nWavFile=" + folder.Native("out.wav") +
               "\r\nClockScale=20\r\n";
        std::ofstream(demo + "/KYRO32.INI", std::ios::binary | std::ios::trunc) << ini;
    }

    std::unique_ptr<TfmMid> Start() {
        AppContext context;
        context.programFolderNative = demo;
        context.exeFolderNative = KYRO_PROGRAM_DIR;  // the archive library
        context.env.vars["TEMP"] = folder.Native("temp");
        context.makePlayer = [log = log](const std::string& settingsFile) {
            auto player = std::make_unique<Player1>();
            player->SetSettingsFile(settingsFile);
            player->SetOutputFactory([log](const OutputSettings& settings) {
                OutputOpenResult real = OpenOutput(settings);
                if (real.output) real.output = std::make_unique<TeeOutput>(std::move(real.output), log);
                return real;
            });
            return std::unique_ptr<PlayerControl>(std::move(player));
        };
        return std::make_unique<TfmMid>(context);
    }

    static QString File(const TfmMid& mid) { return mid.findChild<MPanel*>("edFile")->Caption2(); }
    static QString Title(const TfmMid& mid) { return mid.findChild<QLineEdit*>("edTitle")->text(); }

    test::TempFolder folder;
    test::MessageRecorder messages;
    std::string demo;
    std::shared_ptr<test::RecordingLog> log = std::make_shared<test::RecordingLog>();
};

TEST_F(DemoPlaybackTest, AnArchivedSongWithItsResetThenALooseSongRenderBackToBack) {
    auto mid = Start();
    ASSERT_TRUE(mid->ArchiveAvailable());
    mid->pbFFClick();  // the second song of 日本の歌: kaeru.mid in NIHON.LZH, map 88, untitled
    ASSERT_EQ(File(*mid), QStringLiteral("NIHON.LZH->kaeru.mid"));
    ASSERT_EQ(mid->Songs().groups[0].Title(1), kUntitledMarker);

    mid->pbPLAYClick();
    ASSERT_EQ(mid->State(), PlayerState::Playing) << (messages.Texts().empty() ? "" : messages.Texts()[0].toStdString());
    const QString title = Title(*mid);
    EXPECT_FALSE(title.isEmpty());
    EXPECT_NE(title, QStringLiteral("－タイトル未取得－"));
    EXPECT_EQ(Cp932ToQString(mid->Songs().groups[0].Title(1)), title);
    EXPECT_TRUE(std::filesystem::is_empty(*NativePath(mid->UnpackFolder())))
        << "the unpacked copy is removed once playing has started";

    // The song ends and the next one, a loose file without a reset map, follows.
    ASSERT_TRUE(WaitUntil([&] { return File(*mid) == QStringLiteral("CHOUCHOU.MID"); }));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
    EXPECT_EQ(Title(*mid), QStringLiteral("ちょうちょう"));
    const std::size_t notesOfTheFirst = log->MessagesWhere(test::IsNoteOn).size();
    ASSERT_TRUE(WaitUntil([&] { return log->MessagesWhere(test::IsNoteOn).size() > notesOfTheFirst; }));

    // The reset file's SysEx came first, before any note; map 0 added none between the songs.
    const auto all = log->Messages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().bytes.front(), 0xF0);
    const auto firstNote = std::find_if(all.begin(), all.end(), IsNoteOn);
    const auto sysExAfter = std::find_if(firstNote, all.end(), [](const auto& m) { return m.bytes.front() == 0xF0; });
    EXPECT_EQ(sysExAfter, all.end()) << "a SysEx after the first note";

    mid->pbSTOPClick();
    EXPECT_TRUE(mid->close());
    mid.reset();  // the player ends: the WAV file is complete

    std::istringstream titles(ReadAll(demo + "/KYROTitl.dat"));
    std::string line;
    std::getline(titles, line);
    std::getline(titles, line);  // Group1's second entry
    EXPECT_EQ(Cp932ToQString(line), title + QLatin1Char('\r')) << "the title read on first play is kept at exit";

    const test::WavFileData wav = test::ReadWavFile(folder.Native("out.wav"));
    ASSERT_EQ(wav.error, "");
    EXPECT_GT(wav.Peak(), 1000) << "the render is silent";
    EXPECT_GT(wav.Frames(), 20 * 44100) << "kaeru.mid alone lasts over 20 seconds of song time";
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(DemoPlaybackTest, TheArchivedRcpSongPlaysAfterItsResetUnderItsHeaderTitle) {
    const std::vector<std::uint8_t> gmSystemOn = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};  // GM.MID, map 3
    const std::vector<std::uint8_t> gsReset = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    auto mid = Start();
    ASSERT_TRUE(mid->ArchiveAvailable());
    for (int i = 0; i < 4; ++i) mid->pbFFClick();  // the fifth song of 日本の歌: an RCP 3.x file, untitled
    ASSERT_EQ(File(*mid), QStringLiteral("NIHON.LZH->tsukiyo.rcp"));
    ASSERT_EQ(mid->Songs().groups[0].Title(4), kUntitledMarker);

    mid->pbPLAYClick();
    ASSERT_EQ(mid->State(), PlayerState::Playing) << (messages.Texts().empty() ? "" : messages.Texts()[0].toStdString());
    const QString title = Title(*mid);
    EXPECT_EQ(title.trimmed(), QStringLiteral("月夜の舟歌")) << "the title field of the RCP header";
    EXPECT_EQ(Cp932ToQString(mid->Songs().groups[0].Title(4)), title);

    // It plays to its end, and the next group's first song follows.
    ASSERT_TRUE(WaitUntil([&] { return File(*mid) == QStringLiteral("MINUET.MID"); }));
    mid->pbSTOPClick();
    EXPECT_TRUE(mid->close());
    mid.reset();  // the player ends: the WAV file is complete

    // The reset file first, then the song's own GS reset (a track exclusive) before its first note.
    const auto all = log->Messages();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front().bytes, gmSystemOn);
    const auto firstNote = std::find_if(all.begin(), all.end(), IsNoteOn);
    EXPECT_NE(std::find_if(all.begin(), firstNote, [&](const auto& m) { return m.bytes == gsReset; }), firstNote);

    std::istringstream titles(ReadAll(demo + "/KYROTitl.dat"));
    std::string line;
    for (int i = 0; i < 5; ++i) std::getline(titles, line);  // Group1's fifth entry
    EXPECT_EQ(Cp932ToQString(line), title + QLatin1Char('\r')) << "the title read on first play is kept at exit";

    const test::WavFileData wav = test::ReadWavFile(folder.Native("out.wav"));
    ASSERT_EQ(wav.error, "");
    EXPECT_GT(wav.Peak(), 1000) << "the render is silent";
    EXPECT_GT(wav.Frames(), 34 * 44100) << "tsukiyo.rcp lasts almost 35 seconds of song time";
    EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace kyro
