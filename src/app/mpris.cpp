#include "app/mpris.h"

#include "app/mprisadaptors.h"
#include "app/tfmmid.h"
#include "platform/cp932.h"
#include "platform/filesystem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTimer>
#include <QUrl>

#include <optional>
#include <string>

namespace kyro {

namespace {

const QString kServiceName = QStringLiteral("org.mpris.MediaPlayer2.kyrotune");

// The song's file as a URL. An archive member is the archive's URL with the member's name as its
// fragment ("file:///midi/PACK.LZH#song.mid"): the member has no file of its own.
QString SongUrl(const std::string& dosPath) {
    const std::size_t arrow = dosPath.find("->");
    const std::optional<std::string> native = NativePath(dosPath.substr(0, arrow));
    if (!native) return QString();
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(*native));
    if (arrow != std::string::npos) url.setFragment(Cp932ToQString(dosPath.substr(arrow + 2)));
    return url.toString(QUrl::FullyEncoded);
}

// The song the status display shows: the test song, else the current song of the list.
std::string ShownSongPath(const TfmMid& player) {
    const PlayOrder& order = player.Order();
    if (player.TestPlaying()) return player.TestPath();
    if (player.NoList() || !order.CurrentSongValid()) return {};
    return player.Songs().groups[order.CurGroup()].Path(order.CurIndex());
}

// The player's song is the one on show (a skip shows the next song before the player reads it).
bool ShownSongIsOpen(const TfmMid& player) {
    const std::string shown = ShownSongPath(player);
    return !shown.empty() && shown == player.OpenSongPath();
}

QVariantMap SongMetadata(const TfmMid& player) {
    QVariantMap metadata;
    const std::string path = ShownSongPath(player);
    QString trackId = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
    if (player.TestPlaying()) {
        trackId = QStringLiteral("/io/github/kyrotune/track/test");
    } else if (!path.empty()) {
        const int g = player.Order().CurGroup();
        const int i = player.Order().CurIndex();
        trackId = QStringLiteral("/io/github/kyrotune/track/%1_%2").arg(g + 1).arg(i + 1);  // as the panels number them
        metadata[QStringLiteral("xesam:album")] = Cp932ToQString(player.Songs().groupNames[g]);
    }
    metadata[QStringLiteral("mpris:trackid")] = QVariant::fromValue(QDBusObjectPath(trackId));
    if (path.empty()) return metadata;
    metadata[QStringLiteral("xesam:title")] = player.ShownTitle();
    const QString url = SongUrl(path);
    if (!url.isEmpty()) metadata[QStringLiteral("xesam:url")] = url;
    // The length is known once the player has read the song.
    if (const auto length = ShownSongIsOpen(player) ? player.Player()->SongLengthUs() : std::nullopt)
        metadata[QStringLiteral("mpris:length")] = qlonglong(*length);
    return metadata;
}

QString StatusName(PlayerState state) {
    switch (state) {
    case PlayerState::Playing: return QStringLiteral("Playing");
    case PlayerState::Paused: return QStringLiteral("Paused");
    default: return QStringLiteral("Stopped");
    }
}

}  // namespace

MprisService::MprisService(TfmMid* player) : QObject(player), player_(player) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    announced_ = PlayerProperties();
    connect(player_, &TfmMid::StatusDisplayUpdated, this, &MprisService::AnnounceChanges);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (!bus.registerObject(QString::fromLatin1(kMprisObjectPath), this, QDBusConnection::ExportAdaptors)) return;
    for (const QString& name :
         {kServiceName, kServiceName + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid())}) {
        if (bus.registerService(name)) {
            serviceName_ = name;
            return;
        }
    }
}

MprisService::~MprisService() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (serviceName_.isEmpty()) return;
    bus.unregisterService(serviceName_);
    bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
}

QVariantMap MprisService::PlayerProperties() const {
    const TfmMid::TransportButtons on = player_->EnabledButtons();
    const PlayerState state = player_->State();
    const bool pausable = state == PlayerState::Playing || state == PlayerState::Paused;
    return {
        {QStringLiteral("PlaybackStatus"), StatusName(state)},
        {QStringLiteral("Metadata"), SongMetadata(*player_)},
        {QStringLiteral("CanPlay"), on.play},
        {QStringLiteral("CanPause"), on.play && pausable},
        {QStringLiteral("CanGoNext"), on.ff},
        {QStringLiteral("CanGoPrevious"), on.rew},
    };
}

qlonglong MprisService::PositionUs() const {
    return ShownSongIsOpen(*player_) ? player_->Player()->PositionUs() : 0;
}

void MprisService::AnnounceChanges() {
    const QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    announced_ = now;
    if (changed.isEmpty() || serviceName_.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kMprisObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kMprisPlayerInterface) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void MprisService::Press(Button button) {
    QTimer::singleShot(0, player_, [player = player_, button] {
        if (player->Busy()) return;  // a message is up: turned away, as a click would be
        const TfmMid::TransportButtons on = player->EnabledButtons();
        const PlayerState state = player->State();
        switch (button) {
        case Button::Play:
            if (on.play && state != PlayerState::Playing) player->pbPLAYClick();
            break;
        case Button::Pause:
            if (on.play && state == PlayerState::Playing) player->pbPLAYClick();
            break;
        case Button::PlayPause:
            if (on.play) player->pbPLAYClick();
            break;
        case Button::Stop:
            if (on.stop) player->pbSTOPClick();
            break;
        case Button::Next:
            if (on.ff) player->pbFFClick();
            break;
        case Button::Previous:
            if (on.rew) player->pbREWClick();
            break;
        }
    });
}

void MprisService::Raise() { QTimer::singleShot(0, player_, &TfmMid::RestoreFromTray); }

void MprisService::Quit() { QTimer::singleShot(0, player_, &QWidget::close); }

void MprisService::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) return;
    QTimer::singleShot(0, player_, [player = player_, path = url.toLocalFile().toStdString()] { player->OpenFiles({path}); });
}

}  // namespace kyro
