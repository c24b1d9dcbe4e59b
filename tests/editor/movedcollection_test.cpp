// A collection whose disks moved, put right the way a user would: drive detection on the System
// dialog points D: at the folder its songs were copied to; the lost-file check finds one song of
// E:, whose folder was renamed on the way, and one answer relocates the rest of it, an archive's
// members included; the saved list then plays from the new places.
#include "editor/editorwindow.h"

#include "companions/tfmsystem.h"
#include "dialogs/tfmdriveproposals.h"
#include "dialogs/tfmfilesel.h"
#include "dialogs/tfmfinddlg.h"
#include "editor/tfmgroup.h"
#include "platform/drives.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>

namespace kyro {
namespace {

class MovedCollectionTest : public test::EditorWindowTest {
protected:
    void TearDown() override {
        SetActiveDriveMap(savedDrives);
        EditorWindowTest::TearDown();
    }

    // The proposals dialog once detection has opened it: its lines and note are kept, and every
    // line is accepted as it stands (all are checked at first).
    void AcceptProposals() {
        auto* dialog = qobject_cast<TfmDriveProposals*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const auto* list = dialog->findChild<QListWidget*>("lbProposals");
        for (int i = 0; i < list->count(); ++i) proposals << list->item(i)->text();
        proposalNote = dialog->findChild<QLabel*>("lbNote")->text();
        dialog->findChild<QPushButton*>("pbOK")->click();
    }

    // The Drives page of the System dialog opened by the main window: detection over the test's
    // own disks, then OK.
    void DetectDrivesOnTheSystemDialog(const std::string& disks) {
        QTimer::singleShot(0, [this, disks] {
            auto* system = qobject_cast<TfmSystem*>(QApplication::activeModalWidget());
            ASSERT_NE(system, nullptr);
            system->SetDetectionRoots([disks](const DriveMap&) { return std::vector<std::string>{disks}; });
            QTimer::singleShot(0, [this] { AcceptProposals(); });
            system->findChild<QPushButton*>("pbDetectDrives")->click();
            system->findChild<QPushButton*>("pbOK")->click();
        });
        Button(*mid, "pbSYSTEM")->click();
    }

    DriveMap savedDrives = ActiveDriveMap();
    TfmGroup* group = new TfmGroup(&editor);
    QStringList proposals;
    QString proposalNote;
};

TEST_F(MovedCollectionTest, DetectionAndOneLearntMoveBringBackAListWhoseDrivesMoved) {
    // D:\MIDI\ was copied whole to disks/new-d; E:\MIDI\ now lives on that disk as D:\OLD-E\,
    // which no drive letter can explain.
    const std::string newD = folder.Native("disks/new-d");
    for (const char* song : {"MIDI/GAME/A.MID", "MIDI/GAME/B.MID", "MIDI/POP/C.MID"})
        folder.Write("disks/new-d/" + std::string(song), test::MidiWithName(song));
    folder.Write("disks/new-d/OLD-E/SONGS/P.MID", test::MidiWithName("P"));
    folder.Write("disks/new-d/OLD-E/SONGS/Q.MID", test::MidiWithName("Q"));
    ASSERT_TRUE(test::WriteLzh(folder.MakeFolder("disks/new-d/OLD-E/LZH") + "/PACK.LZH",
                               {{"x.mid", "", test::MidiWithName("X"), 2}, {"y.mid", "", test::MidiWithName("Y"), 2}}));
    SongList songs;
    songs.groups[0].Append({"E:\\MIDI\\SONGS\\P.MID", "t-p", '0'});
    songs.groups[0].Append({"E:\\MIDI\\LZH\\PACK.LZH->x.mid", "t-x", '0'});
    songs.groups[0].Append({"E:\\MIDI\\SONGS\\Q.MID", "t-q", '0'});
    songs.groups[0].Append({"E:\\MIDI\\LZH\\PACK.LZH->y.mid", "t-y", '0'});
    songs.groups[1].Append({"D:\\MIDI\\GAME\\A.MID", "t-a", '0'});
    songs.groups[1].Append({"D:\\MIDI\\GAME\\B.MID", "t-b", '0'});
    songs.groups[1].Append({"D:\\MIDI\\POP\\C.MID", "t-c", '0'});
    companions.group = group;
    companions.finder = new TfmFindDlg(wait);
    companions.fileSel = new TfmFileSel(wait);
    // D: and E: name folders that are gone; C: too, so that the finder does not walk the real
    // home folder before it reaches D:.
    Open(songs, "[KYRO32]\r\nListRandomType=3\r\nGroupRandomType=2\r\nWarningMsg=" +
                    std::to_string(kWarnFileFound | kWarnLzhFound) + "\r\n[Drives]\r\nC=" + folder.Native("home") +
                    "\r\nD=" + folder.Native("old-d") + "\r\nE=" + folder.Native("old-e") + "\r\n");

    // 1. Detection proposes D: alone; accepted, it is in force and in KYRO32.INI.
    DetectDrivesOnTheSystemDialog(folder.Native("disks"));
    EXPECT_EQ(proposals, QStringList{QStringLiteral("D: → %1: 3 / 3 曲").arg(QString::fromStdString(newD))});
    EXPECT_EQ(proposalNote, QStringLiteral("E: の曲をまとめて持つフォルダはありません。迷子ファイルの調査で探して下さい。"));
    EXPECT_EQ(ActiveDriveMap().NativeFolder('D'), newD);
    EXPECT_NE(folder.Read("KYRO32.INI").find("\r\nD=" + newD + "\r\n"), std::string::npos);

    // 2. The finder finds P.MID; the move it teaches takes the other three after one question.
    messages.Answer(ModalResult::Yes);  // the finder's find
    messages.Answer(ModalResult::Yes);  // the same move for the rest
    group->SetPlayer(mid.get());
    group->SetEditor(&editor);
    QSignalSpy finder(companions.finder, &QDialog::finished);
    group->pbLinkClick();
    EXPECT_EQ(finder.count(), 1);
    EXPECT_EQ(messages.Texts(),
              (std::vector<QString>{
                  QStringLiteral("ファイルを発見しました。\n[D:\\OLD-E\\SONGS\\P.MID]\n登録リストをこのファイルに置き換えますか？"),
                  QStringLiteral("同じ移動を残りの迷子ファイル 3 件にも適用しますか？"),
                  QStringLiteral("迷子ファイルの調査を終了しました。\nE:\\MIDI\\ → D:\\OLD-E\\ : 3 曲")}));

    // 3. OK saves the list: E:'s songs under their new paths with their titles, D:'s untouched.
    EditorButton("pbOK")->click();
    SongList onDisk;
    LoadSongList(folder.Dos(), 0, onDisk);
    using Row = std::pair<std::string, std::string>;  // path, title
    std::vector<Row> saved;
    for (int g : {0, 1})
        for (int i = 0; i < onDisk.groups[g].Count(); ++i)
            saved.emplace_back(onDisk.groups[g].Path(i), onDisk.groups[g].Title(i));
    EXPECT_EQ(saved, (std::vector<Row>{{"D:\\OLD-E\\SONGS\\P.MID", "t-p"},
                                       {"D:\\OLD-E\\LZH\\PACK.LZH->x.mid", "t-x"},
                                       {"D:\\OLD-E\\SONGS\\Q.MID", "t-q"},
                                       {"D:\\OLD-E\\LZH\\PACK.LZH->y.mid", "t-y"},
                                       {"D:\\MIDI\\GAME\\A.MID", "t-a"},
                                       {"D:\\MIDI\\GAME\\B.MID", "t-b"},
                                       {"D:\\MIDI\\POP\\C.MID", "t-c"}}));

    // 4. The player plays the relocated song, then the member: unpacked first, so it opens the
    // member's copy, which (as the fake player refuses a missing file) was there.
    log->Clear();
    mid->pbPLAYClick();
    EXPECT_EQ(log->commands, (Commands{"open P.MID", "play notify"}));
    EXPECT_EQ(Title(*mid), QStringLiteral("t-p"));
    log->Clear();
    log->EndSong();
    EXPECT_EQ(log->commands, (Commands{"stop", "close", "open x.mid", "play notify"}));
    EXPECT_EQ(Title(*mid), QStringLiteral("t-x"));
    EXPECT_EQ(mid->State(), PlayerState::Playing);
}

}  // namespace
}  // namespace kyro
