#pragma once
// The list editor opened on a main window (recording player control) whose program folder also
// holds the songs the editor browses: ALPHA, BETA and GAMMA.MID, and PACK.LZH with c.mid and a
// readme, besides the reset files. The real archive library lists the archive.

#include "app/playerwindow.h"

#include "dialogs/tfmwait.h"
#include "editor/tfmmidiopen.h"
#include "lzhwriter.h"
#include "widgets/drivefolder.h"
#include "widgets/mlistbox.h"

#include <QComboBox>

#include <initializer_list>

namespace kyro::test {

class EditorWindowTest : public PlayerWindowTest {
protected:
    // Warnings on, so that the unsaved-list question is asked.
    static constexpr const char* kAsking = "[KYRO32]\r\nWarningMsg=8\r\nListRandomType=3\r\nGroupRandomType=2\r\n";

    void SetUp() override {
        PlayerWindowTest::SetUp();
        archiveFolder = KYRO_UNLHA32_DIR;
        ASSERT_TRUE(WriteLzh(folder.Native("PACK.LZH"), {{"c.mid", "", MidiWithName("C"), 2},
                                                         {"readme.txt", "", "read me", 2}}));
    }

    TfmMidiOpen& Open(const SongList& songs, const std::string& settings = kSequential) {
        editor.hide();
        mid = Start(songs, settings);
        companions.wait = wait;
        editor.SetCompanions(companions);
        mid->SetListEditor(&editor);
        editor.show();
        std::string here = folder.Dos();
        here.pop_back();  // the folder list names a folder without its final "\"
        editor.findChild<FolderTree*>("lvSourceDir")->SetFolder(here);
        return editor;
    }

    MListBox* List(const char* name) const { return editor.findChild<MListBox*>(QString::fromLatin1(name)); }
    QPushButton* EditorButton(const char* name) const { return editor.findChild<QPushButton*>(QString::fromLatin1(name)); }

    std::vector<std::string> Items(const char* name) const {
        const auto* list = editor.findChild<QListWidget*>(QString::fromLatin1(name));
        std::vector<std::string> items;
        for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
        return items;
    }
    void Select(const char* list, std::initializer_list<int> rows) const {
        List(list)->clearSelection();
        for (int row : rows) List(list)->item(row)->setSelected(true);
        if (rows.size() > 0) List(list)->setCurrentRow(*rows.begin(), QItemSelectionModel::NoUpdate);
    }
    // Selects the source items of these names.
    void SelectSource(std::initializer_list<const char*> names) const {
        MListBox* list = List("lbSourceFile");
        list->clearSelection();
        for (const char* name : names)
            for (QListWidgetItem* item : list->findItems(QString::fromUtf8(name), Qt::MatchExactly)) item->setSelected(true);
    }
    std::vector<std::string> EntryNames() const {
        std::vector<std::string> names;
        for (const auto& e : editor.Entries()) names.push_back(e.name);
        return names;
    }
    std::vector<int> Selected() const { return SelectedIndexes(editor.Selection()); }

    // A group of `count` songs named 0.MID, 1.MID... in folder Z:\m\.
    static SongList Numbered(int count, int group = 0) {
        SongList songs;
        for (int i = 0; i < count; ++i)
            songs.groups[group].Append({"Z:\\m\\" + std::to_string(i) + ".MID", "t" + std::to_string(i), '0'});
        return songs;
    }

    TfmMidiOpen editor;
    TfmWait* wait = new TfmWait(&editor);  // belongs to the editor, as in the program
    EditorCompanions companions;
    std::unique_ptr<TfmMid> mid;
};

}  // namespace kyro::test
