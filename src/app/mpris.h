#pragma once
// The desktop's media controls: the main window on the session bus as
// org.mpris.MediaPlayer2.kyrotune (with ".instance<pid>" after it when another Kyrotune holds
// that name). Its calls work the transport buttons; every change the status display shows is
// announced. Without a session bus the program runs on without it.

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace kyro {

class TfmMid;

inline constexpr char kMprisObjectPath[] = "/org/mpris/MediaPlayer2";
inline constexpr char kMprisPlayerInterface[] = "org.mpris.MediaPlayer2.Player";

class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(TfmMid* player);  // a child of the window, gone with it
    ~MprisService() override;

    // The bus name taken; empty without a session bus.
    const QString& ServiceName() const { return serviceName_; }
    TfmMid* Player() const { return player_; }

    // The player interface's changing properties, as the status display stands.
    QVariantMap PlayerProperties() const;
    // Where playing stands in the song on show (µs), read on request: it changes all the time, so
    // it is never announced.
    qlonglong PositionUs() const;

    // A transport button's handler, run from the event loop (so the caller has its answer before
    // a message box can open) and only when the button could be clicked.
    enum class Button { Play, Pause, PlayPause, Stop, Next, Previous };
    void Press(Button button);
    void Raise();
    void Quit();  // the close query, as BYE
    void OpenUri(const QString& uri);

private:
    void AnnounceChanges();

    TfmMid* player_;
    QString serviceName_;
    QVariantMap announced_;  // the properties as last announced
};

}  // namespace kyro
