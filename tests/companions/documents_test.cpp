// The document reader and the file move window working with the real list editor and archive
// library: the Document button's road to a shown document, and files moved away from the folder
// the editor browses.
#include "editor/editorwindow.h"

#include "companions/tfmfilemove.h"
#include "dialogs/tfmdocread.h"
#include "platform/filesystem.h"

#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <filesystem>

namespace kyro {
namespace {

using test::EditorWindowTest;

class DocumentsTest : public EditorWindowTest {
protected:
    TfmMidiOpen& OpenWithCompanions(const SongList& songs) {
        companions.docRead = &reader;
        companions.fileMove = &fileMove;
        TfmMidiOpen& opened = Open(songs);
        reader.SetEditor(&editor);
        reader.SetWaitDialog(wait);
        reader.SetUnpacking([this] {
            return DocumentUnpacking{mid->Archive(), mid->UnpackFolder(), mid->SettingsInForce().unlhaBusy};
        });
        fileMove.SetListEditor(&editor, &editor);
        fileMove.SetProgramFolder(mid->ProgramFolder());
        return opened;
    }

    TfmDocRead reader;
    TfmFileMove fileMove;
};

TEST_F(DocumentsTest, TheOnlyDocumentIsShownAtOnceWhileTheDocumentButtonWaits) {
    SongList songs;
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), "C", '0'});
    OpenWithCompanions(songs);
    Select("lbEntryFile", {0});

    editor.pbDocClick();

    ASSERT_TRUE(reader.isVisible());
    EXPECT_EQ(reader.findChild<QPlainTextEdit*>(QStringLiteral("edMemo"))->toPlainText(), QStringLiteral("read me"));
    EXPECT_FALSE(EditorButton("pbDoc")->isEnabled());
    EXPECT_TRUE(std::filesystem::is_empty(*NativePath(mid->UnpackFolder()))) << "the unpacked copy is deleted";
    reader.close();
    EXPECT_TRUE(EditorButton("pbDoc")->isEnabled());
}

// Selecting another archived entry while the reader was open turned the Document button on again,
// and pressing it then did nothing.
TEST_F(DocumentsTest, TheDocumentButtonStaysOffWhileTheReaderIsOpen) {
    SongList songs;
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), "C", '0'});
    songs.groups[0].Append({Song("PACK.LZH->c.mid"), "C again", '0'});
    OpenWithCompanions(songs);
    Select("lbEntryFile", {0});
    editor.pbDocClick();
    ASSERT_TRUE(reader.isVisible());

    Select("lbEntryFile", {1});
    EXPECT_FALSE(EditorButton("pbDoc")->isEnabled());
    reader.close();
    EXPECT_TRUE(EditorButton("pbDoc")->isEnabled());
}

TEST_F(DocumentsTest, MovedFilesLeaveTheEditorsSourceList) {
    OpenWithCompanions(SongList());
    folder.MakeFolder("moved");
    QTest::mouseClick(EditorButton("pbFileMove"), Qt::LeftButton);
    ASSERT_TRUE(fileMove.isVisible());
    ASSERT_TRUE(fileMove.findChild<FolderTree*>(QStringLiteral("lvSourceDir"))->SetFolder(folder.Dos() + "moved"));
    SelectSource({"ALPHA.MID", "PACK.LZH->c.mid"});
    messages.Answer(ModalResult::Yes);

    fileMove.lvSourceDirDragDrop(List("lbSourceFile"));

    EXPECT_EQ(folder.Entries("moved"), (std::vector<std::string>{"ALPHA.MID", "PACK.LZH"}));
    const std::vector<std::string> listed = Items("lbSourceFile");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "ALPHA.MID"), 0);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "BETA.MID"), 1);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "PACK.LZH->c.mid"), 0);
}

}  // namespace
}  // namespace kyro
