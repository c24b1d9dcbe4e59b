// A FIFO where a user's folder holds a song, an archive, a reset file or a document. Opening one
// for reading waited for a writer that never came, and the program froze with the user's unsaved
// work; each now gets the message a file that cannot be read gets, and the program goes on.
#include "editor/editorwindow.h"

#include "support/fifo.h"

#include <filesystem>
#include <functional>

namespace kyro {
namespace {

using test::FinishesWithoutWaiting;
using test::MakeFifo;

class FifoTest : public test::EditorWindowTest {
protected:
    // Every warning on, the real sequencer playing to no device.
    static constexpr const char* kWarningsOnSilent =
        "[KYRO32]\r\nWarningMsg=12287\r\nListRandomType=3\r\nGroupRandomType=2\r\n[MIDI]\r\nOutput=null\r\n";

    void SetUp() override {
        EditorWindowTest::SetUp();
        realPlayer = true;
    }
};

TEST_F(FifoTest, EachGetsItsMessageAndTheProgramGoesOn) {
    const QString kAbnormal = QStringLiteral("ﾌｧｲﾙが異常です。\nCheckArchive ERROR\n\n[ ");
    const struct {
        const char* what;
        const char* fifo;
        SongEntry entry;  // the first song of Group1; BETA.MID follows it
        std::function<void(TfmMid&, TfmMidiOpen&)> act;
        QString message;  // how the message it gets begins (the player's error state says it all for a song
                          // in an archive); the editor's listing of the folder names an archive too
        PlayerState state;
    } cases[] = {
        {"a song", "SONG.MID", {"SONG.MID", "a title", '0'}, [](TfmMid& mid, TfmMidiOpen&) { mid.pbPLAYClick(); },
         QStringLiteral("ファイルを読み込めません。"), PlayerState::Error},
        {"an archive holding the song", "FIFO.LZH", {"FIFO.LZH->a.mid", "a title", '0'},
         [](TfmMid& mid, TfmMidiOpen&) { mid.pbPLAYClick(); }, kAbnormal, PlayerState::Error},
        {"a reset file", "GM.MID", {"BETA.MID", "Beta", '3'}, [](TfmMid& mid, TfmMidiOpen&) { mid.pbPLAYClick(); },
         QStringLiteral("GM.MID が見つかりません。"), PlayerState::Playing},
        {"an archive holding a document", "DOCS.LZH", {"DOCS.LZH->song.mid", "a title", '0'},
         [](TfmMid&, TfmMidiOpen& editor) { editor.pbDocClick(); }, kAbnormal, PlayerState::Stopped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(folder.Native(c.fifo));
        ASSERT_TRUE(MakeFifo(folder.Native(c.fifo)));
        SongList songs;
        songs.groups[0].Append({Song(c.entry.path), c.entry.title, c.entry.map});
        songs.groups[0].Append({Song("BETA.MID"), "Beta", '0'});
        const std::size_t before = messages.Messages().size();
        const bool finished = FinishesWithoutWaiting({folder.Native(c.fifo)}, [&] {
            TfmMidiOpen& opened = Open(songs, kWarningsOnSilent);
            Select("lbEntryFile", {0});
            c.act(*mid, opened);
        });
        EXPECT_TRUE(finished) << "the program waited on the FIFO";
        const auto texts = messages.Texts();
        ASSERT_GT(texts.size(), before);
        for (std::size_t i = before; i < texts.size(); ++i)
            EXPECT_TRUE(texts[i].startsWith(c.message) || texts[i].startsWith(kAbnormal)) << texts[i].toStdString();
        EXPECT_TRUE(texts.back().startsWith(c.message)) << texts.back().toStdString();
        EXPECT_EQ(mid->State(), c.state);

        mid->pbSTOPClick();  // the next song plays as ever
        mid->pbFFClick();
        mid->pbPLAYClick();
        EXPECT_EQ(mid->State(), PlayerState::Playing);
        mid->pbSTOPClick();
        std::filesystem::remove(folder.Native(c.fifo));
        if (std::string(c.fifo) == "GM.MID") folder.Write("GM.MID", "MThd");
    }
}

}  // namespace
}  // namespace kyro
