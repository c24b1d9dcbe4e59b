#pragma once
// Player1: the sequencer as the main window drives it.
//
// Flags are set before each command: the device type, wait (the command returns when it has
// completed) and notify (the command posts one completion notice when it ends). Open and play
// return false on failure; ErrorCode and ErrorText then say why. Stop and close never fail.
// The completion notice is delivered on the thread that owns the player (the user-interface
// thread), exactly once for every play with notify.

#include <QObject>

#include <memory>
#include <string>

namespace kyro {

enum class DeviceType { Sequencer, Automatic };

enum class NotifyResult { Successful, Superseded, Aborted, Failure };

// Where the sequencer sends what it plays. The null output accepts everything and plays nothing.
class MidiOutput;

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

class Player1 : public QObject {
    Q_OBJECT
public:
    explicit Player1(QObject* parent = nullptr);
    ~Player1() override;

    void SetDeviceType(DeviceType t) { deviceType_ = t; }
    DeviceType GetDeviceType() const { return deviceType_; }
    void SetWait(bool w) { wait_ = w; }
    bool Wait() const { return wait_; }
    void SetNotify(bool n) { notify_ = n; }
    bool Notify() const { return notify_; }
    void SetFileName(const std::string& nativePath) { fileName_ = nativePath; }
    const std::string& FileName() const { return fileName_; }

    bool Open();
    bool Play();
    void Stop();
    void Close();

    int ErrorCode() const { return errorCode_; }
    // The text for the last error; "原因不明のｴﾗｰ" for a code without a text.
    QString ErrorText() const;

    bool IsOpen() const { return open_; }
    bool IsPlaying() const { return playing_; }

signals:
    void Notified(kyro::NotifyResult result);

private:
    void Fail(int code, QString text);
    void Finish(NotifyResult result);  // ends the current play and posts its notice if one is owed

    DeviceType deviceType_ = DeviceType::Sequencer;
    bool wait_ = false;
    bool notify_ = false;
    std::string fileName_;
    bool open_ = false;
    bool playing_ = false;
    bool noticeOwed_ = false;
    unsigned playSerial_ = 0;  // identifies the play a queued completion belongs to
    int errorCode_ = 0;
    QString errorText_;
};

// The sequencer's answer to "which file types do you play": for "mid" and "rcp" a non-empty
// device name when the type is played, else empty. Section [MIDI] key Types of KYRO32.INI (a
// comma-separated list of extensions) narrows the answer; an empty value plays nothing.
std::string SequencerDeviceForType(const std::string& settingsNativePath, const std::string& extension);

}  // namespace kyro
