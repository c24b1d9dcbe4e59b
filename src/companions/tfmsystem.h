#pragma once
// TfmSystem: the "System" settings dialog, opened modally by the main window's SYSTEM button.
// Its first page sets the play modes, the auto start, the wait for a busy archive library, the
// temporary folder and the warnings (section [KYRO32]); its second page the sequencer's output
// (section [MIDI]). Nothing is written before OK; OK writes both at once, hands the settings to
// the main window and tells it with UM_LIST_CHANGED. Its third page maps drive letters to
// folders ([Drives]) and can detect where the list's missing drives have gone.

#include "library/settings.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace kyro {

class DriveMap;
class PlayerLink;

// What the sequencer offers for [MIDI]; the main window fills it from the sequencer.
struct MidiChoices {
    std::vector<std::string> outputs;  // the names Output= takes, the default first
    std::vector<std::string> ports;    // the MIDI ports there are now, by the names Port= takes
};

// The [MIDI] keys the dialog sets, as the file holds them (CP932): empty is the key's default.
struct MidiKeys {
    std::string output, soundFont, port, audioDriver, gain, wavFile;
};

class TfmSystem : public QDialog {
    Q_OBJECT
public:
    // Filled from the player's settings in force, its program folder's KYRO32.INI ([MIDI]) and its
    // archive library.
    TfmSystem(PlayerLink& player, MidiChoices choices, QWidget* owner = nullptr);

    // Where drive detection looks, given the map in the drive table; DetectionRoots when unset
    // (tests point it at a folder of their own).
    using DetectionRootsFunction = std::function<std::vector<std::string>(const DriveMap&)>;
    void SetDetectionRoots(DetectionRootsFunction roots) { detectionRoots_ = std::move(roots); }

    int ListMode() const;   // the chosen list mode
    int GroupMode() const;  // the chosen group mode; -1 when there is none
    const std::string& KeptFolder() const { return keptFolder_; }

    // The handlers.
    void gpListRndClick(int listMode);
    void pbLookClick();
    void pbSoundFontClick();
    void pbWavFileClick();
    void edSoundFontChange();
    void cmbOutputChange();
    void pbDetectDrivesClick();
    void pbOKClick();
    void pbCancelClick();

private:
    static QLabel* MakeLabel(QWidget* page, const QRect& geometry, const QString& caption,
                             QWidget* buddy = nullptr);
    void BuildSystemPage(QWidget* page);
    void BuildMidiPage(QWidget* page);  // the MIDI page (tfmsystem_midi.cpp)
    void BuildDrivesPage(QWidget* page);  // the Drives page (tfmsystem_drives.cpp)
    void FillDrivesPage();
    bool ChosenDrives(std::vector<std::string>& folders) const;  // false when a folder is not absolute
    DriveMap DrivesInTable() const;  // the map OK would put in force
    void WriteDrives(const std::vector<std::string>& folders) const;
    void FillSystemPage(const Settings& s);
    void FillMidiPage();
    void SetGroupMode(int groupMode);  // -1 clears the choice
    bool ChosenMidiKeys(MidiKeys& keys) const;  // false when a value cannot be held in CP932
    void WriteMidiKeys(const MidiKeys& keys) const;

    PlayerLink& player_;
    MidiChoices choices_;
    MidiKeys midiRead_;        // as read when the dialog was made: only changed keys are written
    double gainShown_ = 0.0;   // the gain read, as the spin box rounded it
    std::string keptFolder_;   // the folder handed back by TfmTempFold (or the one in force)
    DetectionRootsFunction detectionRoots_;

    QTabWidget* pcSystem_ = nullptr;
    QTableWidget* sgDrives_ = nullptr;
    QPushButton* pbDetectDrives_ = nullptr;
    QLabel* edDllVer_ = nullptr;
    QLineEdit* edTemp_ = nullptr;
    QPushButton* pbLook_ = nullptr;
    QGroupBox* gpGroupRnd_ = nullptr;
    QButtonGroup* groupButtons_ = nullptr;
    QGroupBox* gpListRnd_ = nullptr;
    QButtonGroup* listButtons_ = nullptr;
    QComboBox* cmbAutoSt_ = nullptr;
    QComboBox* cmbULBusy_ = nullptr;
    QGroupBox* gbWarning_ = nullptr;
    std::vector<std::pair<QCheckBox*, int>> warningBoxes_;  // each box and its bit of WarningMsg

    QComboBox* cmbOutput_ = nullptr;
    QLineEdit* edSoundFont_ = nullptr;
    QPushButton* pbSoundFont_ = nullptr;
    QLabel* lbSoundFontSet_ = nullptr;  // the files SoundFont= loads as typed, or the set found
    QComboBox* cmbPort_ = nullptr;
    QComboBox* cmbAudioDriver_ = nullptr;
    QDoubleSpinBox* edGain_ = nullptr;
    QLineEdit* edWavFile_ = nullptr;     // WavFile=, what the wav output records into
    QPushButton* pbWavFile_ = nullptr;

    QPushButton* pbOK_ = nullptr;
    QPushButton* pbCancel_ = nullptr;
};

}  // namespace kyro
