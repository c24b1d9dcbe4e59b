// The System dialog on a main window: filling it from the settings in force, the group mode that
// follows the list mode, OK writing KYRO32.INI (the rest of the file untouched) and handing the
// settings to the main window, refusals that keep it open, Cancel, and the Temporary Folder
// dialog behind its browse button.
#include "app/playerwindow.h"

#include "companions/tfmsystem.h"
#include "dialogs/tfmdriveproposals.h"
#include "dialogs/tfmtempfold.h"
#include "editor/tfmmidiopen.h"
#include "platform/profile.h"
#include "sequencer/midioutput.h"
#include "widgets/drivefolder.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include "platform/drives.h"

#include <QRadioButton>
#include <QTableWidget>

namespace kyro {
namespace {

const QString kNotWritable =
    QStringLiteral("このディレクトリには書き込みができません。\n他のディレクトリを選択して下さい。");

class SystemDialogTest : public test::PlayerWindowTest {
protected:
    std::unique_ptr<TfmSystem> Open(TfmMid& mid) {
        return std::make_unique<TfmSystem>(mid, MidiChoices{{"fluidsynth", "port", "wav", "null"}, {"SC-88:SC-88 MIDI 1"}});
    }
    template <typename T>
    static T* Control(const QWidget& dialog, const char* name) {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }
    static QRadioButton* Radio(const QWidget& dialog, const char* group, int index) {
        return Control<QGroupBox>(dialog, group)->findChildren<QRadioButton*>().at(index);
    }
    static void ClickListMode(const QWidget& dialog, int index) { Radio(dialog, "gpListRnd", index)->click(); }
    // Enabled group choices as "RSQ" letters ('-' for a disabled one).
    static std::string GroupChoices(const QWidget& dialog) {
        std::string enabled;
        for (int i = 0; i < 3; ++i) enabled += Radio(dialog, "gpGroupRnd", i)->isEnabled() ? "RSQ"[i] : '-';
        return enabled;
    }
    std::string Temp(const char* name) const { return folder.Dos() + name + "\\"; }
};

TEST_F(SystemDialogTest, FillsTheControlsFromTheSettingsInForce) {
    struct Case {
        std::string archiveDir;
        const char* version;
    };
    const Case cases[] = {{"", "?.??"}, {KYRO_UNLHA32_DIR, "1.00"}};
    for (const Case& c : cases) {
        archiveFolder = c.archiveDir;
        auto mid = Start(ThreeSongs(), "[KYRO32]\r\nListRandomType=1\r\nGroupRandomType=2\r\nAutoStart=12\r\n"
                                       "UnlhaBusy=60\r\nWarningMsg=8193\r\n");
        auto dialog = Open(*mid);
        EXPECT_EQ(Control<QLabel>(*dialog, "edDllVer")->text(), QString::fromLatin1(c.version));
        EXPECT_EQ(dialog->ListMode(), 1);
        EXPECT_EQ(dialog->GroupMode(), 2);
        EXPECT_EQ(Control<QComboBox>(*dialog, "cmbAutoSt")->currentText(), QStringLiteral("10"));
        EXPECT_EQ(Control<QComboBox>(*dialog, "cmbULBusy")->currentText(), QStringLiteral("60"));
        EXPECT_EQ(Control<QLineEdit>(*dialog, "edTemp")->text(), Cp932ToQString(Temp("temp")));
        // 8193 = 0x2001: the first and the last box.
        for (const char* name : {"cbNotRcp", "cbNo8PMAP"}) EXPECT_TRUE(Control<QCheckBox>(*dialog, name)->isChecked());
        EXPECT_EQ(dialog->findChildren<QCheckBox*>().size(), 14);
        EXPECT_FALSE(Control<QCheckBox>(*dialog, "cbFileNoFnd")->isChecked());
    }
}

TEST_F(SystemDialogTest, GroupChoicesFollowTheListMode) {
    struct Case {
        const char* what;
        int storedList, storedGroup;
        std::vector<int> listClicks;
        int groupClickBefore;  // a group choice made before the last list click; -1 none
        std::string choices;
        int groupMode;
    };
    const Case cases[] = {
        {"stored SEMI RANDOM ALL", 2, -1, {}, -1, "---", -1},
        {"SEMI RANDOM ALL, then SEQUENTIAL", 1, 1, {2, 3}, -1, "RSQ", 0},
        {"SEMI RANDOM, then SEQUENTIAL", 0, 0, {1, 3}, 2, "RSQ", 2},
        {"RANDOM", 3, 2, {0}, -1, "R--", 0},
    };
    for (const Case& c : cases) {
        auto mid = Start(ThreeSongs(), "[KYRO32]\r\nListRandomType=" + std::to_string(c.storedList) +
                                           "\r\nGroupRandomType=" + std::to_string(c.storedGroup) + "\r\n");
        auto dialog = Open(*mid);
        for (std::size_t i = 0; i < c.listClicks.size(); ++i) {
            if (i + 1 == c.listClicks.size() && c.groupClickBefore >= 0)
                Radio(*dialog, "gpGroupRnd", c.groupClickBefore)->click();
            ClickListMode(*dialog, c.listClicks[i]);
        }
        EXPECT_EQ(GroupChoices(*dialog), c.choices) << c.what;
        EXPECT_EQ(dialog->GroupMode(), c.groupMode) << c.what;
        dialog->pbOKClick();
        EXPECT_EQ(mid->SettingsInForce().groupRandomType, c.groupMode) << c.what;
    }
}

// Every key the dialog sets goes through the file and back; every other line, comment and section
// stays byte for byte, and the main window plays by the new modes at once.
TEST_F(SystemDialogTest, OkWritesEveryKeyAndKeepsTheRestOfTheFile) {
    folder.MakeFolder("newtemp");
    const std::string before =
        "; Kyrotune\r\n[KYRO32]\r\nListRandomType=3\r\nGroupRandomType=2\r\nUnlhaBusy=0\r\nAutoStart=0\r\n"
        "WarningMsg=0\r\nListNumber=7\r\nGroupSel=5\r\nTempFolder=" + Temp("temp") + "\r\nGroup1=\x89\xB9\r\n"
        "TitlePosX=10\r\n\r\n[Drives]\r\n; the letters\r\nD=/mnt/midi\r\n\r\n[MIDI]\r\nTypes=mid\r\nOutput=null\r\n"
        "SoundFont=\r\nPort=\r\nAudioDriver=\r\nGain=0.5\r\nWavFile=out.wav\r\n";
    auto mid = Start(ThreeSongs(), before);
    auto dialog = Open(*mid);

    ClickListMode(*dialog, 1);
    Radio(*dialog, "gpGroupRnd", 1)->click();
    Control<QComboBox>(*dialog, "cmbAutoSt")->setCurrentIndex(2);
    Control<QComboBox>(*dialog, "cmbULBusy")->setCurrentIndex(12);
    for (const char* name : {"cbNoLst", "cbFileNoFnd"}) Control<QCheckBox>(*dialog, name)->setChecked(true);
    Control<QLineEdit>(*dialog, "edTemp")->setText(Cp932ToQString(folder.Dos() + "newtemp"));
    Control<QComboBox>(*dialog, "cmbOutput")->setCurrentText(QStringLiteral("port"));
    Control<QComboBox>(*dialog, "cmbPort")->setCurrentIndex(1);
    Control<QLineEdit>(*dialog, "edSoundFont")->setText(QStringLiteral("sf/音色.sf2"));
    Control<QComboBox>(*dialog, "cmbAudioDriver")->setCurrentText(QStringLiteral("jack"));
    Control<QDoubleSpinBox>(*dialog, "edGain")->setValue(0.8);
    Control<QLineEdit>(*dialog, "edWavFile")->setText(QStringLiteral("rec/take.wav"));
    dialog->pbOKClick();

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(folder.Read("KYRO32.INI"),
              "; Kyrotune\r\n[KYRO32]\r\nListRandomType=1\r\nGroupRandomType=1\r\nUnlhaBusy=60\r\nAutoStart=10\r\n"
              "WarningMsg=4098\r\nListNumber=7\r\nGroupSel=5\r\nTempFolder=" + Temp("newtemp") + "\r\nGroup1=\x89\xB9\r\n"
              "TitlePosX=10\r\n\r\n[Drives]\r\n; the letters\r\nD=/mnt/midi\r\n\r\n[MIDI]\r\nTypes=mid\r\nOutput=port\r\n"
              "SoundFont=sf/\x89\xB9\x90\x46.sf2\r\nPort=SC-88:SC-88 MIDI 1\r\nAudioDriver=jack\r\nGain=0.8\r\n"
              "WavFile=rec/take.wav\r\n");

    const Settings read = ReadStartupSettings(folder.Dos(), StartupEnvironment{});
    const Settings& inForce = mid->SettingsInForce();
    for (const Settings* s : {&read, &inForce}) {
        EXPECT_EQ(s->listRandomType, 1);
        EXPECT_EQ(s->groupRandomType, 1);
        EXPECT_EQ(s->unlhaBusy, 60);
        EXPECT_EQ(s->autoStart, 10);
        EXPECT_EQ(s->warningMsg, 0x1002);
        EXPECT_EQ(s->tempFolder, Temp("newtemp"));
        EXPECT_EQ(s->groupSel, 5);
    }
    EXPECT_EQ(mid->TempFolder(), Temp("newtemp"));
    EXPECT_EQ(Panel(*mid, "edLstMode"), QStringLiteral("SEMI RANDOM"));
    const OutputSettings midi = ReadOutputSettings(folder.Native("KYRO32.INI"));
    EXPECT_EQ(midi.output, "port");
    EXPECT_EQ(midi.port, "SC-88:SC-88 MIDI 1");
    EXPECT_EQ(midi.soundFont, folder.Native("sf/音色.sf2"));
    EXPECT_EQ(midi.audioDriver, "jack");
    EXPECT_EQ(midi.gain, 0.8);
    EXPECT_EQ(midi.wavFile, folder.Native("rec/take.wav"));  // relative: from the program folder

    // Opened again and left as it is, OK changes no byte.
    const std::string after = folder.Read("KYRO32.INI");
    Open(*mid)->pbOKClick();
    EXPECT_EQ(folder.Read("KYRO32.INI"), after);
}

// The MIDI page names the SoundFonts that would be loaded, following the edit as it is typed:
// without a setting the GS set the install script installs.
TEST_F(SystemDialogTest, SoundFontSetFollowsTheTypedList) {
    folder.Write("sf/mine.sf2", "x");
    auto mid = Start(ThreeSongs());
    auto dialog = Open(*mid);
    const std::pair<QString, QString> cases[] = {
        {QString(), QStringLiteral("使用: FluidR3_GM.sf2; FluidR3_GS.sf2")},
        {QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2 ; sf/mine.sf2"),
         QStringLiteral("使用: TimGM6mb.sf2; mine.sf2")},  // relative: from the program folder
        {QStringLiteral("sf/mine.sf2;sf/gone.sf2"), QStringLiteral("使用: なし (見つかりません: gone.sf2)")},
    };
    for (const auto& [typed, shown] : cases) {
        Control<QLineEdit>(*dialog, "edSoundFont")->setText(typed);
        EXPECT_EQ(Control<QLabel>(*dialog, "lbSoundFontSet")->text(), shown) << typed.toStdString();
    }
}

TEST_F(SystemDialogTest, TemporaryFolderGetsItsBackslashOrKeepsTheDialogOpen) {
    struct Case {
        std::string typed;
        QString shown;
        bool accepted;
    };
    const Case cases[] = {
        {folder.Dos() + "temp", Cp932ToQString(Temp("temp")), true},
        {"Z:\\proc", QStringLiteral("Z:\\proc\\"), false},  // no file can be made there, not even by root
    };
    for (const Case& c : cases) {
        auto mid = Start(ThreeSongs());
        const std::string file = folder.Read("KYRO32.INI");
        test::MessageRecorder recorder;
        auto dialog = Open(*mid);
        Control<QLineEdit>(*dialog, "edTemp")->setText(Cp932ToQString(c.typed));
        dialog->pbOKClick();
        EXPECT_EQ(Control<QLineEdit>(*dialog, "edTemp")->text(), c.shown);
        EXPECT_EQ(dialog->result(), c.accepted ? QDialog::Accepted : QDialog::Rejected);
        if (c.accepted) continue;
        ASSERT_EQ(recorder.Texts(), std::vector<QString>{kNotWritable});
        EXPECT_EQ(recorder.Messages().front().icon, MessageIcon::Exclamation);
        EXPECT_EQ(folder.Read("KYRO32.INI"), file);
        EXPECT_EQ(mid->SettingsInForce().tempFolder, Temp("temp"));
    }
}

// Runs `answer` on the Temporary Folder dialog once the browse button has opened it.
void OnTempFold(const std::function<void(TfmTempFold&)>& answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = qobject_cast<TfmTempFold*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
}

TEST_F(SystemDialogTest, BrowsingShowsTheFolderButCancelWritesNothing) {
    folder.MakeFolder("other");
    auto mid = Start(ThreeSongs());
    const std::string file = folder.Read("KYRO32.INI");
    auto dialog = Open(*mid);
    std::vector<QString> refused;
    OnTempFold([&](TfmTempFold& fold) {
        auto* tree = fold.findChild<FolderTree*>(QStringLiteral("lvFolder"));
        EXPECT_EQ(tree->Folder() + "\\", Temp("temp"));  // it opens at the folder in the edit
        ASSERT_TRUE(tree->SetFolder("Z:\\proc"));
        fold.pbOKClick();  // refused: it stays open
        refused = messages.Texts();
        ASSERT_TRUE(tree->SetFolder(folder.Dos() + "other"));
        fold.pbOKClick();
    });
    dialog->pbLookClick();
    EXPECT_EQ(refused, std::vector<QString>{kNotWritable});
    EXPECT_EQ(Control<QLineEdit>(*dialog, "edTemp")->text(), Cp932ToQString(Temp("other")));
    EXPECT_EQ(dialog->KeptFolder(), Temp("other"));

    dialog->pbCancelClick();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(folder.Read("KYRO32.INI"), file);
    EXPECT_EQ(mid->SettingsInForce().tempFolder, Temp("temp"));
}

// Only what the chosen output uses can be set; the WAV file read is shown.
TEST_F(SystemDialogTest, OutputEnablesOnlyItsOwnFields) {
    auto mid = Start(ThreeSongs(), std::string(kSequential) + "[MIDI]\r\nWavFile=out.wav\r\n");
    auto dialog = Open(*mid);
    EXPECT_EQ(Control<QLineEdit>(*dialog, "edWavFile")->text(), QStringLiteral("out.wav"));
    const std::pair<const char*, const char*> cases[] = {
        // output, enabled among: edSoundFont edGain cmbAudioDriver cmbPort edWavFile pbWavFile
        {"fluidsynth", "SGA---"}, {"port", "---P--"}, {"wav", "SG--WW"}, {"null", "------"}};
    const char* const names[] = {"edSoundFont", "edGain", "cmbAudioDriver", "cmbPort", "edWavFile", "pbWavFile"};
    for (const auto& [output, expected] : cases) {
        Control<QComboBox>(*dialog, "cmbOutput")->setCurrentText(QString::fromLatin1(output));
        std::string enabled;
        for (std::size_t i = 0; i < std::size(names); ++i)
            enabled += Control<QWidget>(*dialog, names[i])->isEnabled() ? "SGAPWW"[i] : '-';
        EXPECT_EQ(enabled, expected) << output;
    }
}

TEST_F(SystemDialogTest, SystemButtonOffersTheSequencersOutputs) {
    auto mid = Start(ThreeSongs());
    QStringList outputs;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TfmSystem*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = Control<QComboBox>(*dialog, "cmbOutput");
        for (int i = 0; i < list->count(); ++i) outputs << list->itemText(i);
        ClickListMode(*dialog, 2);
        Control<QPushButton>(*dialog, "pbOK")->click();
    });
    Button(*mid, "pbSYSTEM")->click();
    EXPECT_EQ(outputs, (QStringList{"fluidsynth", "port", "wav", "null"}));
    EXPECT_EQ(mid->SettingsInForce().listRandomType, 2);
    EXPECT_EQ(ReadProfileInt(folder.Native("KYRO32.INI"), "KYRO32", "GroupRandomType", 0), -1);
}

// The drive letters of an old list are pointed at folders on the Drives page; the list's paths
// follow at once, and only what differs from the defaults is written.
TEST_F(SystemDialogTest, DrivesPageMapsTheLettersOfTheList) {
    const DriveMap before = ActiveDriveMap();
    auto mid = Start(ThreeSongs());
    auto dialog = Open(*mid);
    auto* drives = Control<QTableWidget>(*dialog, "sgDrives");
    ASSERT_EQ(drives->rowCount(), 26);
    EXPECT_EQ(drives->item('Z' - 'A', 1)->text(), QStringLiteral("/"));

    drives->item('D' - 'A', 1)->setText(QStringLiteral("songs"));  // not absolute: refused
    dialog->pbOKClick();
    EXPECT_EQ(messages.Texts().back(), QStringLiteral("ドライブのフォルダは / で始まる絶対パスで指定して下さい。"));
    EXPECT_EQ(folder.Read("KYRO32.INI").find("[Drives]"), std::string::npos);

    drives->item('D' - 'A', 1)->setText(QString::fromStdString(folder.Native("old")));
    dialog->pbOKClick();
    const std::string ini = folder.Read("KYRO32.INI");
    EXPECT_NE(ini.find("[Drives]\r\nD=" + folder.Native("old") + "\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("Z="), std::string::npos) << "a default letter is not written";
    EXPECT_EQ(ActiveDriveMap().ToNative("D:\\SONG.MID"), folder.Native("old") + "/SONG.MID");
    SetActiveDriveMap(before);
}

// The file move and temporary folder dialogs fill their drive boxes when they open; the list
// editor lives on, and its drive box kept the old letters until the program started again.
TEST_F(SystemDialogTest, ANewDriveReachesTheEditorsDriveBoxAtOnce) {
    const DriveMap before = ActiveDriveMap();
    auto mid = Start(ThreeSongs());
    TfmMidiOpen editor;
    mid->SetListEditor(&editor);
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TfmSystem*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        Control<QTableWidget>(*dialog, "sgDrives")->item('D' - 'A', 1)->setText(QString::fromStdString(folder.Native()));
        Control<QPushButton>(*dialog, "pbOK")->click();
    });
    Button(*mid, "pbSYSTEM")->click();
    auto* drives = Control<DriveComboBox>(editor, "cmbSourceDrv");
    EXPECT_GE(drives->findData(static_cast<int>('D')), 0);
    SetActiveDriveMap(before);
}

// The detect button on a list whose D: and E: moved: both are proposed, the one accepted fills
// its row, the one left keeps its row, and nothing is written before OK. A list whose songs are
// all in place, or found nowhere together, gets a message instead.
TEST_F(SystemDialogTest, DetectButtonFillsTheRowsOfTheAcceptedProposals) {
    SongList moved;
    for (const char* name : {"ONE.MID", "TWO.MID", "THREE.MID"})
        for (char letter : {'D', 'E'}) {
            moved.groups[1].Append({std::string{letter, ':', '\\'} + "MIDI\\" + letter + name, "t", '0'});
            folder.Write(std::string("moved/") + letter + "-drive/MIDI/" + letter + name, "MThd");
        }
    SongList lost;
    lost.groups[0].Append({"F:\\GONE\\LOST.MID", "t", '0'});
    const auto native = [&](const char* name) { return QString::fromStdString(folder.Native(name)); };
    struct Case {
        SongList songs;
        QStringList proposals;
        QString message;
    };
    const Case cases[] = {
        {moved, {"D: → " + native("moved/D-drive") + ": 3 / 3 曲", "E: → " + native("moved/E-drive") + ": 3 / 3 曲"}, {}},
        {ThreeSongs(), {}, QStringLiteral("どのドライブの曲も、割り当てたフォルダにあります。")},
        {lost, {}, QStringLiteral("F: の曲をまとめて持つフォルダは見つかりませんでした。\n迷子ファイルの調査で探して下さい。")},
    };
    for (const Case& c : cases) {
        auto mid = Start(c.songs);
        const std::string ini = folder.Read("KYRO32.INI");
        test::MessageRecorder recorder;
        auto dialog = Open(*mid);
        dialog->SetDetectionRoots([&](const DriveMap&) { return std::vector<std::string>{folder.Native("moved")}; });
        QStringList shown;
        if (!c.proposals.isEmpty()) QTimer::singleShot(0, [&] {
            auto* proposals = qobject_cast<TfmDriveProposals*>(QApplication::activeModalWidget());
            ASSERT_NE(proposals, nullptr);
            auto* list = Control<QListWidget>(*proposals, "lbProposals");
            for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
            list->item(1)->setCheckState(Qt::Unchecked);  // E: is left as it is
            Control<QPushButton>(*proposals, "pbOK")->click();
        });
        Control<QPushButton>(*dialog, "pbDetectDrives")->click();

        EXPECT_EQ(shown, c.proposals);
        EXPECT_EQ(recorder.Texts(), c.message.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.message});
        auto* drives = Control<QTableWidget>(*dialog, "sgDrives");
        EXPECT_EQ(drives->item('D' - 'A', 1)->text(), c.proposals.isEmpty() ? QString() : native("moved/D-drive"));
        EXPECT_EQ(drives->item('E' - 'A', 1)->text(), QString());
        EXPECT_EQ(folder.Read("KYRO32.INI"), ini);
    }
}

}  // namespace
}  // namespace kyro
