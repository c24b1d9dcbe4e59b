#pragma once
// Player1: the sequencer as the main window drives it.
//
// Flags are set before each command: the device type, wait (the command returns when it has
// completed) and notify (the command posts one completion notice when it ends). Open and play
// return false on failure; ErrorCode and ErrorText then say why. Stop and close never fail.
// The completion notice is delivered on the thread that owns the player (the user-interface
// thread), exactly once for every play with notify.
//
// Open reads the whole song (a Standard MIDI File or an RCP file) and makes sure the output of
// [MIDI] in the settings file is open; play hands both to the real-time engine, which runs on its
// own thread.
// The output stays open across songs while the settings name the same one: a synthesizer keeps
// what a reset file set up for the song that follows, as a sound module would, and a WAV output
// records one session (each song after the one before) until the player ends or the settings
// change, then keeps the last song's release (at most 3 s) and finishes the file.

#include "sequencer/midioutput.h"
#include "sequencer/playercontrol.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kyro {

class SequencerEngine;
class SongTimeline;
struct Song;

// Error codes of the player (0 = no error).
enum PlayerError : int {
    kPlayerNoError = 0,
    kPlayerFileNotFound = 1,
    kPlayerCannotRead = 2,
    kPlayerNotOpen = 3,
    kPlayerOutputFailed = 4,
    kPlayerUnsupportedType = 5,
};

// The player's own text for an error code: empty for 0, "原因不明のｴﾗｰ" for a code it has no text for.
QString PlayerErrorText(int code);

class Player1 : public QObject, public PlayerControl {
    Q_OBJECT
public:
    explicit Player1(QObject* parent = nullptr);
    ~Player1() override;

    void SetDeviceType(DeviceType t) override { deviceType_ = t; }
    DeviceType GetDeviceType() const { return deviceType_; }
    void SetWait(bool w) override { wait_ = w; }
    bool Wait() const { return wait_; }
    void SetNotify(bool n) override { notify_ = n; }
    bool Notify() const { return notify_; }
    void SetFileName(const std::string& nativePath) override { fileName_ = nativePath; }
    const std::string& FileName() const { return fileName_; }
    // The settings file whose [MIDI] section chooses the output (read at every open); without one,
    // the defaults of OutputSettings.
    void SetSettingsFile(const std::string& nativePath) { settingsFile_ = nativePath; }

    // Test hook: outputs are made by this function instead of OpenOutput (a recording output).
    using OutputFactory = std::function<OutputOpenResult(const OutputSettings&)>;
    void SetOutputFactory(OutputFactory factory) { outputFactory_ = std::move(factory); }

    bool Open() override;
    bool Play() override;
    void Stop() override;
    void Close() override;

    std::optional<std::int64_t> SongLengthUs() const override;
    std::int64_t PositionUs() const override;

    int ErrorCode() const override { return errorCode_; }
    // The text for the last error; "原因不明のｴﾗｰ" for a code without a text.
    QString ErrorText() const override;

    // The handler is called from the Notified signal.
    void SetNotifyHandler(std::function<void(NotifyResult)> handler) override;

    bool IsOpen() const { return open_; }
    bool IsPlaying() const { return playing_; }

signals:
    void Notified(kyro::NotifyResult result);

private:
    void Fail(int code, QString text);
    void Finish(NotifyResult result);  // ends the current play and posts its notice if one is owed
    void StopEngine(NotifyResult result);  // stops a play under way, keeping its position
    void CloseSong(NotifyResult result);
    bool MakeOutputReady();
    void PlayEnded(unsigned serial);  // the engine reached the end of the song (queued call)

    DeviceType deviceType_ = DeviceType::Sequencer;
    bool wait_ = false;
    bool notify_ = false;
    std::string fileName_;
    std::string settingsFile_;
    OutputFactory outputFactory_;
    std::function<void(NotifyResult)> notifyHandler_;
    bool open_ = false;
    bool playing_ = false;
    bool noticeOwed_ = false;
    unsigned playSerial_ = 0;  // identifies the play a queued completion belongs to
    int errorCode_ = 0;
    QString errorText_;

    std::shared_ptr<const Song> song_;
    std::int64_t positionUs_ = 0;  // where the next play starts (song time)
    std::unique_ptr<MidiOutput> output_;
    OutputSettings outputSettings_;  // what output_ was made from
    std::unique_ptr<SongTimeline> timeline_;  // output_ as the engine sees it
    std::unique_ptr<SequencerEngine> engine_;  // declared last: stops before the output goes
};

// The sequencer's answer to "which file types do you play": for "mid" and "rcp" a non-empty
// device name when the type is played, else empty. Section [MIDI] key Types of KYRO32.INI (a
// comma-separated list of extensions) narrows the answer; an empty value plays nothing.
std::string SequencerDeviceForType(const std::string& settingsNativePath, const std::string& extension);

}  // namespace kyro
