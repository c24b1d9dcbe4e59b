#include "library/listfiles.h"

#include "library/settings.h"
#include "platform/cp932.h"
#include "platform/tempfiles.h"
#include "support/messagerecorder.h"
#include "support/processone.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <vector>

namespace kyro {
namespace {

using test::MessageRecorder;
using test::TempFolder;

// CP932 pieces whose second byte is "\" (ソ, 表), the untitled marker and half-width katakana.
const std::string kSo = "\x83\x5c";
const std::string kHyou = "\x95\x5c";
const std::string kHalfWidth = "\xcc\xa7\xb2\xd9";

std::string Join(const std::vector<std::string>& lines, const std::string& eol = "\r\n") {
    std::string out;
    for (const auto& l : lines) out += l + eol;
    return out;
}

// Lines 1..n, each empty unless given.
std::vector<std::string> Slots(int n, std::initializer_list<std::pair<int, std::string>> filled = {}) {
    std::vector<std::string> lines(n);
    for (const auto& [line, text] : filled) lines[line - 1] = text;
    return lines;
}

std::size_t CountOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
    return n;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, p - start));
        start = p + 2;
    }
    return lines;
}

void MakeFolderAt(const TempFolder& tf, const std::string& name) {
    std::filesystem::remove(tf.Native(name));
    std::filesystem::create_directories(tf.Native(name) + "/inside");  // fails for root too
}

// Permissions then bind, as for the users the program runs as.
void DropToNobody() {
    if (::geteuid() != 0) return;
    ::setgroups(0, nullptr);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
}

std::vector<std::string> FolderNames(const TempFolder& tf) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(tf.Native())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class ListFilesTest : public ::testing::Test {
protected:
    SongList Load(int warningMsg = kDefaultWarningMsg, bool* quit = nullptr) {
        SongList list;
        ListLoadResult r = LoadSongList(tf.Dos(), warningMsg, list);
        if (quit) *quit = r.quitRequested;
        return list;
    }

    TempFolder tf;
    MessageRecorder messages;
};

SongList BigList() {
    SongList list;
    for (int k = 0; k < kGroupCapacity; ++k) {
        std::string n = std::to_string(k);
        list.groups[0].Append({"D:\\MIDI\\" + kSo + n + ".MID", k % 3 == 0 ? "" : kHyou + n, '3'});
        list.groups[8].Append({"Z:\\LZH\\P" + n + ".LZH->" + kHalfWidth + n + ".mid", kUntitledMarker, '4'});
    }
    list.groups[3].Append({"C:\\A.MID", "", '0'});
    list.groups[3].Append({"C:\\B.RCP", "title with spaces ", '2'});
    return list;
}

TEST_F(ListFilesTest, SavedListReloadsExactly) {
    const SongList saved = BigList();
    ASSERT_TRUE(SaveSongList(tf.Dos(), saved));

    std::string listFile = tf.Read(kListFileName), titleFile = tf.Read(kTitleFileName);
    EXPECT_EQ(CountOf(listFile, "\r\n"), 8991u);
    EXPECT_EQ(CountOf(titleFile, "\r\n"), 8991u);
    EXPECT_EQ(CountOf(listFile, "\n"), 8991u);
    // Slot j of group g is line g * 999 + j + 1.
    std::vector<std::string> lines = SplitCrLf(listFile);
    ASSERT_EQ(lines.size(), 8991u);
    EXPECT_EQ(lines[998], "3D:\\MIDI\\" + kSo + "998.MID");
    EXPECT_EQ(lines[999], "");
    EXPECT_EQ(lines[2997], "0C:\\A.MID");
    EXPECT_EQ(lines[2998], "2C:\\B.RCP");
    EXPECT_EQ(lines[7992], "4Z:\\LZH\\P0.LZH->" + kHalfWidth + "0.mid");

    EXPECT_EQ(Load(), saved);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(FolderNames(tf), (std::vector<std::string>{kListFileName, kTitleFileName}));  // no temporary left
}

TEST_F(ListFilesTest, MissingOrEmptyListLoadsNothingSilently) {
    EXPECT_TRUE(Load().Empty());
    tf.Write(kListFileName, Join(Slots(8991)));
    tf.Write(kTitleFileName, Join(Slots(8991, {{1, "orphan title"}})));
    EXPECT_TRUE(Load().Empty());
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(ListFilesTest, LoadingReplacesWhatTheGroupsHeld) {
    SongList list = BigList();
    tf.Write(kListFileName, "1D:\\ONE.MID\r\n");
    LoadSongList(tf.Dos(), 0, list);
    EXPECT_EQ(list.groups[0].Count(), 1);
    EXPECT_EQ(list.groups[8].Count(), 0);
}

TEST_F(ListFilesTest, LinesAreNormalisedAndJudged) {
    tf.Write(kListFileName, Join({"D:\\A.MID", "3D:\\B.MID", "9D:\\A.MID", "1\\\\server\\share\\A.MID", "3", "0D:",
                                  "2d:\\LZH\\P.LZH->x.mid"}));
    tf.Write(kTitleFileName, Join({"ta", "tb", "t9", "ts", "t3", "t0", "tp"}));
    SongList list = Load(0);
    ASSERT_EQ(list.groups[0].Count(), 3);
    EXPECT_EQ(list.groups[0].Entry(0).path, "D:\\A.MID");
    EXPECT_EQ(list.groups[0].Map(0), '0');
    EXPECT_EQ(list.groups[0].Map(1), '3');
    EXPECT_EQ(list.groups[0].Title(1), "tb");
    // The title stays paired with its own line after dropped lines.
    EXPECT_EQ(list.groups[0].Path(2), "d:\\LZH\\P.LZH->x.mid");
    EXPECT_EQ(list.groups[0].Title(2), "tp");
    EXPECT_TRUE(messages.Messages().empty());  // warning bit off: dropped silently
}

TEST_F(ListFilesTest, InvalidLineQuestionShowsTheNormalisedLine) {
    tf.Write(kListFileName, Join({"9D:\\A.MID"}));
    Load(kWarnErrList);
    ASSERT_EQ(messages.Messages().size(), 1u);
    const Message& m = messages.Messages()[0];
    EXPECT_EQ(m.text, QString::fromUtf8("不正なリストがあります。\n09D:\\A.MID\n全ての不正なリストを読み飛ばしますか？"));
    EXPECT_EQ(m.icon, MessageIcon::Question);
    EXPECT_EQ(m.buttons, MessageButtons::YesNoCancel);
}

TEST_F(ListFilesTest, AnswerNoAsksAgainYesSkipsTheRest) {
    tf.Write(kListFileName, Join({"bad1", "1D:\\OK.MID", "bad2", "bad3"}));
    messages.Answer(ModalResult::No);
    messages.Answer(ModalResult::Yes);
    SongList list = Load(kWarnErrList);
    EXPECT_EQ(messages.Messages().size(), 2u);  // bad1 (No), bad2 (Yes), bad3 silent
    EXPECT_EQ(list.groups[0].Count(), 1);
}

TEST_F(ListFilesTest, CancelStopsReadingAndRequestsTheEnd) {
    tf.Write(kListFileName, Join(Slots(1200, {{1, "1D:\\A.MID"}, {2, "bad"}, {3, "1D:\\C.MID"}, {1100, "1D:\\G.MID"}})));
    messages.Answer(ModalResult::Cancel);
    bool quit = false;
    SongList list = Load(kWarnErrList, &quit);
    EXPECT_TRUE(quit);
    ASSERT_EQ(list.groups[0].Count(), 1);
    EXPECT_EQ(list.groups[0].Path(0), "D:\\A.MID");
    EXPECT_EQ(list.groups[1].Count(), 0);
}

// A fixed 32767-byte line buffer would read an over-long line as several lines and push every
// later song up, group 2's first song into group 1.
TEST_F(ListFilesTest, LongLineStaysOneSlot) {
    std::string longPath = "0D:\\" + std::string(40000, 'A');
    std::string longTitle = std::string(32765, 'T') + "\x82\xa0" + std::string(100, 'U');  // "あ" across the cut
    tf.Write(kListFileName, Join(Slots(1001, {{1, longPath}, {2, "bad"}, {1000, "1D:\\G2.MID"}})));
    tf.Write(kTitleFileName, Join(Slots(1001, {{1, longTitle}, {1000, "second"}})));
    SongList list = Load(0);
    ASSERT_EQ(list.groups[0].Count(), 1);
    EXPECT_EQ(list.groups[0].Path(0).size(), kMaxLineBytes - 1);
    EXPECT_EQ(list.groups[0].Title(0), std::string(32765, 'T'));  // no lone lead byte
    ASSERT_EQ(list.groups[1].Count(), 1);
    EXPECT_EQ(list.groups[1].Path(0), "D:\\G2.MID");
    EXPECT_EQ(list.groups[1].Title(0), "second");
}

TEST_F(ListFilesTest, LinesAfterThe8991stAreIgnored) {
    tf.Write(kListFileName, Join(Slots(9000, {{8991, "2D:\\LAST.MID"}, {8992, "2D:\\EXTRA.MID"}})));
    SongList list = Load();
    ASSERT_EQ(list.groups[8].Count(), 1);
    EXPECT_EQ(list.groups[8].Path(0), "D:\\LAST.MID");
}

TEST_F(ListFilesTest, TitleFileShorterOrLonger) {
    tf.Write(kListFileName, Join({"1D:\\A.MID", "1D:\\B.MID", "1D:\\C.MID"}));
    tf.Write(kTitleFileName, Join({"ta"}));
    SongList list = Load();
    ASSERT_EQ(list.groups[0].Count(), 3);
    EXPECT_EQ(list.groups[0].Title(0), "ta");
    EXPECT_EQ(list.groups[0].Title(2), "");

    tf.Write(kTitleFileName, Join({"ta", "tb", "tc", "td", "te"}));
    list = Load();
    EXPECT_EQ(list.groups[0].Title(2), "tc");
    EXPECT_EQ(list.groups[0].Count(), 3);
}

TEST_F(ListFilesTest, LfOnlyAndCrHandling) {
    tf.Write(kListFileName, "1D:\\A.MID\n\n1D:\\B.MID\r\r\n1D:\\C.MID\r");
    tf.Write(kTitleFileName, "ta\nignored\ntb\r\ntc\r");
    SongList list = Load();
    ASSERT_EQ(list.groups[0].Count(), 3);
    EXPECT_EQ(list.groups[0].Path(0), "D:\\A.MID");
    EXPECT_EQ(list.groups[0].Path(1), "D:\\B.MID\r");  // only one CR is a line end
    EXPECT_EQ(list.groups[0].Path(2), "D:\\C.MID");
    EXPECT_EQ(list.groups[0].Title(1), "tb");
    EXPECT_EQ(list.groups[0].Title(2), "tc");
}

TEST_F(ListFilesTest, TitleWithLineEndsKeepsOneLineASlot) {
    EXPECT_EQ(TitleForFile("a\r\nb\nc\rd"), "a  b c d");
    SongList list;
    list.groups[0].Append({"D:\\A.MID", "two\nlines", '1'});
    list.groups[0].Append({"D:\\B.MID", "b", '1'});
    ASSERT_TRUE(SaveSongList(tf.Dos(), list));
    EXPECT_EQ(CountOf(tf.Read(kTitleFileName), "\n"), 8991u);
    SongList loaded = Load();
    EXPECT_EQ(loaded.groups[0].Title(0), "two lines");
    EXPECT_EQ(loaded.groups[0].Title(1), "b");
}

// A save that cannot complete leaves both files as they were, and its message names the file the
// save could not write: the list when nothing can be written at all, as the list comes first.
std::string g_folder;
void FillTheDiskOnceTheJournalIsMade() {
    for (const auto& e : std::filesystem::directory_iterator(g_folder))
        if (e.path().string().ends_with(".journal")) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit none{0, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &none);
        }
}

TEST_F(ListFilesTest, AFailedSaveLeavesBothFilesAndNamesTheFileItCouldNotWrite) {
    const QString kList = QString::fromUtf8("LISTが登録できません。");
    const QString kTitles = QString::fromUtf8("タイトル一覧が登録できません。");
    enum class InTheSaver { AsIs, NoRoomForTheJournal, Unprivileged };
    const struct {
        const char* what;
        std::function<void(const TempFolder&)> spoil;
        QString message;
        InTheSaver saver = InTheSaver::AsIs;
    } cases[] = {
        {"title file is a folder", [](const TempFolder& f) { MakeFolderAt(f, kTitleFileName); }, kTitles},
        {"list file is a folder", [](const TempFolder& f) { MakeFolderAt(f, kListFileName); }, kList},
        {"list file read-only", [](const TempFolder& f) { ::chmod(f.Native(kListFileName).c_str(), 0444); }, kList},
        {"title file read-only", [](const TempFolder& f) { ::chmod(f.Native(kTitleFileName).c_str(), 0444); }, kTitles},
        {"no room for the journal", [](const TempFolder&) {}, kList, InTheSaver::NoRoomForTheJournal},
        {"folder read-only", [](const TempFolder& f) { ::chmod(f.Native().c_str(), 0555); }, kList,
         InTheSaver::Unprivileged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        g_folder = folder.Native();
        folder.Write(kListFileName, Join({"1D:\\OLD.MID"}));
        folder.Write(kTitleFileName, Join({"old title"}));
        for (const char* name : {kListFileName, kTitleFileName}) ::chmod(folder.Native(name).c_str(), 0666);
        c.spoil(folder);
        const std::string listBefore = folder.Read(kListFileName), titlesBefore = folder.Read(kTitleFileName);
        const auto namesBefore = FolderNames(folder);
        // In a child: the file size limit and the user it runs as go with it.
        const int result = test::RunAsProcessOne([&] {
            if (c.saver == InTheSaver::Unprivileged) DropToNobody();
            if (c.saver == InTheSaver::NoRoomForTheJournal) SetWriteStepHook(&FillTheDiskOnceTheJournalIsMade);
            MessageRecorder recorder;
            if (SaveSongList(folder.Dos(), BigList())) return 1;
            return recorder.Texts() == std::vector<QString>{c.message} ? 0 : 2;
        });
        EXPECT_EQ(result, 0) << (result == 1 ? "the save reported success" : "wrong message");
        ::chmod(folder.Native().c_str(), 0700);
        EXPECT_EQ(folder.Read(kListFileName), listBefore);
        EXPECT_EQ(folder.Read(kTitleFileName), titlesBefore);
        EXPECT_EQ(FolderNames(folder), namesBefore);
    }
}

TEST_F(ListFilesTest, UnwritableListFileWithNoOldTitlesCreatesNone) {
    std::filesystem::create_directory(tf.Native(kListFileName));
    EXPECT_FALSE(SaveSongList(tf.Dos(), BigList()));
    EXPECT_FALSE(tf.Exists(kTitleFileName));
}

TEST_F(ListFilesTest, SaveTitlesWritesOnlyTheTitleFile) {
    const std::string oldList = Join({"1D:\\A.MID"});
    tf.Write(kListFileName, oldList);
    SongList list;
    ListLayout layout = LoadSongList(tf.Dos(), 0, list).layout;
    list.groups[0].SetTitle(0, kHyou);
    ASSERT_TRUE(SaveTitles(tf.Dos(), list, layout));
    EXPECT_EQ(tf.Read(kListFileName), oldList);
    EXPECT_EQ(Load(), list);

    std::filesystem::remove(tf.Native(kTitleFileName));
    std::filesystem::create_directory(tf.Native(kTitleFileName));
    EXPECT_FALSE(SaveTitles(tf.Dos(), list, layout));
    EXPECT_EQ(messages.Texts(), std::vector<QString>{QString::fromUtf8("タイトル一覧が登録できません。")});
}

// Hand-edited lists have empty lines inside a group, and invalid lines are dropped: the songs
// after them load packed. Titles saved in packed order used to move each onto the song before
// it at the next start, and the last song of the group lost its own.
TEST_F(ListFilesTest, TitlesStayWithTheirSongsAcrossStartsAndCloses) {
    const std::string list = Join(Slots(1003, {{1, "1D:\\A.MID"}, {3, "1D:\\B.MID"}, {4, "bad line"}, {5, "1D:\\C.MID"},
                                               {1001, "1D:\\G2A.MID"}, {1003, "1D:\\G2B.MID"}}));
    tf.Write(kListFileName, list);
    tf.Write(kTitleFileName, Join(Slots(1003, {{1, "ta"}, {2, "stray"}, {3, "tb"}, {4, "of the bad line"},
                                               {5, kUntitledMarker}, {1001, "g2a"}, {1003, kUntitledMarker}})));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"D:\\A.MID", "ta"}, {"D:\\B.MID", "tb"}, {"D:\\C.MID", "tc"}, {"D:\\G2A.MID", "g2a"}, {"D:\\G2B.MID", "g2b"}};
    for (int run = 0; run < 3; ++run) {  // each run a start, a title read while playing, a close
        SongList songs;
        ListLayout layout = LoadSongList(tf.Dos(), 0, songs).layout;
        if (run == 0) songs.groups[0].SetTitle(2, "tc");
        if (run == 1) songs.groups[1].SetTitle(1, "g2b");
        ASSERT_TRUE(SaveTitles(tf.Dos(), songs, layout));
    }
    SongList songs = Load(0);
    std::vector<std::pair<std::string, std::string>> loaded;
    for (const auto& group : songs.groups)
        for (int k = 0; k < group.Count(); ++k) loaded.emplace_back(group.Path(k), group.Title(k));
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(tf.Read(kListFileName), list);
    // The titles of lines that gave no song are kept where they were, for a list mended by hand.
    const auto titleLines = SplitCrLf(tf.Read(kTitleFileName));
    ASSERT_EQ(titleLines.size(), 8991u);
    EXPECT_EQ(titleLines[1], "stray");
    EXPECT_EQ(titleLines[3], "of the bad line");
}

}  // namespace
}  // namespace kyro
