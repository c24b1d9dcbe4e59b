// The MIDI page of the System dialog: the sequencer's output, section [MIDI] of KYRO32.INI.
#include "companions/tfmsystem.h"

#include "library/playerlink.h"
#include "platform/cp932.h"
#include "platform/profile.h"
#include "sequencer/midioutput.h"
#include "sequencer/soundfontset.h"
#include "widgets/form.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <filesystem>

namespace kyro {

namespace {

// FluidSynth's audio drivers on Linux; empty is FluidSynth's own choice.
const char* const kAudioDrivers[] = {"", "alsa", "pulseaudio", "jack", "oss", "sdl2"};

const char kMidiSection[] = "MIDI";

// A gain as the file holds it: a plain number in the C locale ("0.5", "1").
std::string GainText(double gain) { return QString::number(gain, 'g', 6).toStdString(); }

// The file's Gain as the reader takes it: a number from 0 to the top, else the default.
double GainValue(const std::string& text) {
    bool ok = false;
    const double value = QString::fromStdString(text).toDouble(&ok);
    return ok && value >= 0.0 && value <= kMaxSynthGain ? value : kDefaultSynthGain;
}

}  // namespace

void TfmSystem::BuildMidiPage(QWidget* page) {
    cmbOutput_ = MakeControl<QComboBox>(page, "cmbOutput", {110, 10, 200, 22});
    MakeLabel(page, {8, 13, 100, 16}, QStringLiteral("&Output"), cmbOutput_);
    connect(cmbOutput_, &QComboBox::currentIndexChanged, this, &TfmSystem::cmbOutputChange);

    edSoundFont_ = MakeControl<QLineEdit>(page, "edSoundFont", {110, 42, 250, 22});
    MakeLabel(page, {8, 45, 100, 16}, QStringLiteral("&SoundFont"), edSoundFont_);
    edSoundFont_->setPlaceholderText(QStringLiteral("(自動)"));
    pbSoundFont_ = MakeControl<QPushButton>(page, "pbSoundFont", {366, 40, 74, 26}, QStringLiteral("参照"));
    connect(pbSoundFont_, &QPushButton::clicked, this, &TfmSystem::pbSoundFontClick);
    lbSoundFontSet_ = MakeControl<QLabel>(page, "lbSoundFontSet", {110, 68, 330, 16});
    connect(edSoundFont_, &QLineEdit::textChanged, this, &TfmSystem::edSoundFontChange);

    edGain_ = MakeControl<QDoubleSpinBox>(page, "edGain", {110, 98, 80, 22});
    MakeLabel(page, {8, 101, 100, 16}, QStringLiteral("&Gain"), edGain_);
    edGain_->setRange(0.0, kMaxSynthGain);
    edGain_->setDecimals(2);
    edGain_->setSingleStep(0.1);
    MakeLabel(page, {198, 101, 242, 16},
              QStringLiteral("(0～%1, 標準 %2)").arg(kMaxSynthGain).arg(kDefaultSynthGain));

    cmbAudioDriver_ = MakeControl<QComboBox>(page, "cmbAudioDriver", {110, 130, 200, 22});
    MakeLabel(page, {8, 133, 100, 16}, QStringLiteral("Audio &Driver"), cmbAudioDriver_);
    cmbAudioDriver_->setEditable(true);
    for (const char* driver : kAudioDrivers) cmbAudioDriver_->addItem(QString::fromLatin1(driver));

    // Editable: a port that is not connected now keeps its name.
    cmbPort_ = MakeControl<QComboBox>(page, "cmbPort", {110, 162, 330, 22});
    MakeLabel(page, {8, 165, 100, 16}, QStringLiteral("&Port"), cmbPort_);
    cmbPort_->setEditable(true);

    edWavFile_ = MakeControl<QLineEdit>(page, "edWavFile", {110, 194, 250, 22});
    MakeLabel(page, {8, 197, 100, 16}, QStringLiteral("&WAV File"), edWavFile_);
    pbWavFile_ = MakeControl<QPushButton>(page, "pbWavFile", {366, 192, 74, 26}, QStringLiteral("参照"));
    connect(pbWavFile_, &QPushButton::clicked, this, &TfmSystem::pbWavFileClick);

    // The player reads [MIDI] each time it opens a song: a song playing now keeps its output.
    auto* note = MakeLabel(page, {8, 232, 432, 64},
                           QStringLiteral("出力の設定は、次に曲を開くときから使われます。\n"
                                          "SoundFont は ; で区切って複数指定でき、後のものが優先されます。\n"
                                          "Gain は fluidsynth と wav の音量です (FluidSynth の synth.gain)。\n"
                                          "WAV File は wav 出力が書き出すファイルです (相対パスはプログラムフォルダから)。"));
    note->setWordWrap(true);
}

void TfmSystem::FillMidiPage() {
    const Profile ini(SettingsFilePath(player_.ProgramFolder()));
    midiRead_ = {ini.ReadString(kMidiSection, "Output", ""), ini.ReadString(kMidiSection, "SoundFont", ""),
                 ini.ReadString(kMidiSection, "Port", ""), ini.ReadString(kMidiSection, "AudioDriver", ""),
                 ini.ReadString(kMidiSection, "Gain", ""), ini.ReadString(kMidiSection, "WavFile", "")};

    for (const auto& name : choices_.outputs) cmbOutput_->addItem(QString::fromStdString(name));
    // An empty Output= is the default, the first; a name the sequencer does not know stays shown.
    const QString output = Cp932ToQString(midiRead_.output).toLower();
    int index = output.isEmpty() ? 0 : cmbOutput_->findText(output);
    if (index < 0) {
        cmbOutput_->addItem(output);
        index = cmbOutput_->count() - 1;
    }
    cmbOutput_->setCurrentIndex(index);

    edSoundFont_->setText(Cp932ToQString(midiRead_.soundFont));
    edSoundFontChange();  // also when the text stays empty and no change is signalled
    edWavFile_->setText(Cp932ToQString(midiRead_.wavFile));
    edGain_->setValue(GainValue(midiRead_.gain));
    gainShown_ = edGain_->value();
    cmbAudioDriver_->setCurrentText(Cp932ToQString(midiRead_.audioDriver));
    cmbPort_->addItem(QString());
    for (const auto& name : choices_.ports) cmbPort_->addItem(QString::fromStdString(name));
    cmbPort_->setCurrentText(Cp932ToQString(midiRead_.port));
    cmbOutputChange();
}

void TfmSystem::pbSoundFontClick() {
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("SoundFont"), edSoundFont_->text(),
                                                        QStringLiteral("SoundFont (*.sf2 *.sf3);;(*)"));
    if (!chosen.isEmpty()) edSoundFont_->setText(chosen);
}

// The file is written anew each time a song plays: choosing one that exists asks nothing. The
// dialog starts where a relative path points, the program folder.
void TfmSystem::pbWavFileClick() {
    const std::filesystem::path programFolder =
        std::filesystem::path(SettingsFilePath(player_.ProgramFolder())).parent_path();
    const std::filesystem::path typed(edWavFile_->text().trimmed().toStdString());
    const QString start = QString::fromStdString((programFolder / typed).lexically_normal().string());
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("WAV File"), start,
                                                        QStringLiteral("WAV (*.wav);;(*)"), nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (!chosen.isEmpty()) edWavFile_->setText(chosen);
}

// The file names SoundFont= would load as it is typed now (relative paths from the program
// folder), or the set the synthesizer finds by itself when it is empty.
void TfmSystem::edSoundFontChange() {
    const std::filesystem::path programFolder =
        std::filesystem::path(SettingsFilePath(player_.ProgramFolder())).parent_path();
    const SoundFontChoice fonts =
        ChooseSoundFonts(ResolveSoundFontList(edSoundFont_->text().toStdString(), programFolder));
    const auto name = [](const std::string& path) {
        return QString::fromStdString(std::filesystem::path(path).filename().string());
    };
    QStringList names, paths;
    for (const std::string& file : fonts.files) {
        names << name(file);
        paths << QString::fromStdString(file);
    }
    if (!fonts.missing.empty())
        lbSoundFontSet_->setText(QStringLiteral("使用: なし (見つかりません: %1)").arg(name(fonts.missing)));
    else if (names.isEmpty())
        lbSoundFontSet_->setText(QStringLiteral("使用: なし (SoundFont が見つかりません)"));
    else
        lbSoundFontSet_->setText(QStringLiteral("使用: ") + names.join(QStringLiteral("; ")));
    lbSoundFontSet_->setToolTip(paths.join(QLatin1Char('\n')));
}

// Only what the chosen output uses can be set.
void TfmSystem::cmbOutputChange() {
    const QString output = cmbOutput_->currentText();
    const bool synth = output == QLatin1String("fluidsynth") || output == QLatin1String("wav");
    edSoundFont_->setEnabled(synth);
    pbSoundFont_->setEnabled(synth);
    lbSoundFontSet_->setEnabled(synth);
    edGain_->setEnabled(synth);
    cmbAudioDriver_->setEnabled(output == QLatin1String("fluidsynth"));
    cmbPort_->setEnabled(output == QLatin1String("port"));
    edWavFile_->setEnabled(output == QLatin1String("wav"));
    pbWavFile_->setEnabled(output == QLatin1String("wav"));
}

bool TfmSystem::ChosenMidiKeys(MidiKeys& keys) const {
    const auto soundFont = QStringToCp932(edSoundFont_->text().trimmed());
    const auto port = QStringToCp932(cmbPort_->currentText().trimmed());
    const auto driver = QStringToCp932(cmbAudioDriver_->currentText().trimmed());
    const auto wavFile = QStringToCp932(edWavFile_->text().trimmed());
    if (!soundFont || !port || !driver || !wavFile) return false;
    keys.output = cmbOutput_->currentText().toStdString();
    keys.soundFont = *soundFont;
    keys.port = *port;
    keys.audioDriver = *driver;
    keys.wavFile = *wavFile;
    // The gain as read stays as it is written ("0.555" shows as 0.56), unless another was chosen.
    keys.gain = edGain_->value() == gainShown_ ? midiRead_.gain : GainText(edGain_->value());
    return true;
}

// Only the keys that changed: a hand-written section keeps its own spelling of the others.
void TfmSystem::WriteMidiKeys(const MidiKeys& keys) const {
    const std::string outputRead = midiRead_.output.empty() && !choices_.outputs.empty()
                                       ? choices_.outputs.front()
                                       : Cp932ToQString(midiRead_.output).toLower().toStdString();
    const std::pair<const char*, bool> changed[] = {
        {"Output", keys.output != outputRead},
        {"SoundFont", keys.soundFont != midiRead_.soundFont},
        {"Port", keys.port != midiRead_.port},
        {"AudioDriver", keys.audioDriver != midiRead_.audioDriver},
        {"Gain", keys.gain != midiRead_.gain},
        {"WavFile", keys.wavFile != midiRead_.wavFile},
    };
    const std::string values[] = {keys.output, keys.soundFont, keys.port, keys.audioDriver, keys.gain, keys.wavFile};
    if (std::none_of(std::begin(changed), std::end(changed), [](const auto& c) { return c.second; })) return;
    Profile ini(SettingsFilePath(player_.ProgramFolder()));
    for (std::size_t i = 0; i < std::size(changed); ++i)
        if (changed[i].second) ini.Write(kMidiSection, changed[i].first, values[i]);
    ini.Save();  // a failed write goes unnoticed, as every settings write does
}

}  // namespace kyro
