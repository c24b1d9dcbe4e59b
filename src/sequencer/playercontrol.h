#pragma once
// The player control as the main window drives it: flags set before each command, the four
// commands, the last error, and one completion notice for every play with notify. Player1 is the
// real one; tests put a recording control in its place.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kyro {

enum class DeviceType { Sequencer, Automatic };

enum class NotifyResult { Successful, Superseded, Aborted, Failure };

class PlayerControl {
public:
    virtual ~PlayerControl() = default;

    virtual void SetDeviceType(DeviceType t) = 0;
    virtual void SetWait(bool wait) = 0;      // the command returns when it has completed
    virtual void SetNotify(bool notify) = 0;  // the command posts a completion notice
    virtual void SetFileName(const std::string& nativePath) = 0;

    // Open and play return false on failure; ErrorText then says why. Stop and close never fail.
    virtual bool Open() = 0;
    virtual bool Play() = 0;
    virtual void Stop() = 0;
    virtual void Close() = 0;

    // The open song's length, and where playing stands in it, as heard (song time in µs): kept
    // through a stop, back to 0 after the song's end. No length while no song is open.
    virtual std::optional<std::int64_t> SongLengthUs() const = 0;
    virtual std::int64_t PositionUs() const = 0;

    virtual int ErrorCode() const = 0;
    virtual QString ErrorText() const = 0;

    // Receives every completion notice, on the user-interface thread, never inside a command.
    virtual void SetNotifyHandler(std::function<void(NotifyResult)> handler) = 0;
};

}  // namespace kyro
