// The media controls on a private session bus: a client works the transport, reads the status and
// the song on show, and hears of every change.
#include "app/playerwindow.h"

#include "app/mpris.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QSignalSpy>
#include <QUrl>

namespace kyro {
namespace {

using test::PlayerWindowTest;

class ChangeListener : public QObject {
    Q_OBJECT
signals:
    void Changed(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
};

class MprisTest : public PlayerWindowTest {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
        PlayerWindowTest::SetUp();
        mid = Start(ThreeSongs());
        service = new MprisService(mid.get());
        ASSERT_FALSE(service->ServiceName().isEmpty());
        ASSERT_TRUE(QDBusConnection::sessionBus().connect(
            service->ServiceName(), kMprisObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), &listener, SIGNAL(Changed(QString, QVariantMap, QStringList))));
    }

    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service->ServiceName(), kMprisObjectPath, interface, method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message);
    }
    // A transport method, then the change it makes announced.
    void Press(const char* method) {
        changes.clear();
        EXPECT_EQ(Call(kMprisPlayerInterface, QString::fromLatin1(method)).type(), QDBusMessage::ReplyMessage);
        EXPECT_TRUE(spy.wait(2000)) << method << " announced nothing";
        while (spy.wait(100)) {}  // a press can update the display more than once
        for (const auto& signal : spy) changes.insert(qdbus_cast<QVariantMap>(signal.at(1)));
        spy.clear();
    }
    QVariant Get(const char* property, const char* interface = kMprisPlayerInterface) {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QString::fromLatin1(interface), QString::fromLatin1(property)});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get("Metadata")); }
    QString TrackId() { return qdbus_cast<QDBusObjectPath>(Metadata().value(QStringLiteral("mpris:trackid"))).path(); }

    std::unique_ptr<TfmMid> mid;
    MprisService* service = nullptr;
    ChangeListener listener;
    QSignalSpy spy{&listener, &ChangeListener::Changed};
    QVariantMap changes;  // the properties the last press announced
};

TEST_F(MprisTest, TransportCallsMoveThePlayerAndAnnounceEachChange) {
    struct Step {
        const char* method;
        const char* status;
        const char* trackId;
        QStringList announced;
    };
    const Step steps[] = {
        {"PlayPause", "Playing", "/io/github/kyrotune/track/1_1", {"PlaybackStatus", "Metadata", "CanPause"}},
        {"Next", "Playing", "/io/github/kyrotune/track/1_2", {"Metadata"}},
        {"Previous", "Playing", "/io/github/kyrotune/track/1_1", {"Metadata"}},
        {"PlayPause", "Paused", "/io/github/kyrotune/track/1_1", {"PlaybackStatus"}},
        {"Stop", "Stopped", "/io/github/kyrotune/track/1_1", {"PlaybackStatus", "CanPause"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.method);
        Press(step.method);
        EXPECT_EQ(Get("PlaybackStatus").toString(), QString::fromLatin1(step.status));
        EXPECT_EQ(TrackId(), QString::fromLatin1(step.trackId));
        for (const QString& property : step.announced) EXPECT_TRUE(changes.contains(property)) << property.toStdString();
    }
}

TEST_F(MprisTest, MetadataDescribesTheSongOnShow) {
    log->songLengthUs = 93'500'000;
    Press("Play");
    const QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), Title(*mid));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), Cp932ToQString(mid->Songs().groupNames[0]));
    EXPECT_EQ(QUrl(metadata.value(QStringLiteral("xesam:url")).toString()).toLocalFile(),
              QString::fromStdString(folder.Native("ALPHA.MID")));
    const QVariant length = metadata.value(QStringLiteral("mpris:length"));
    EXPECT_EQ(length.userType(), QMetaType::LongLong);  // x, as MPRIS has it
    EXPECT_EQ(length.toLongLong(), 93'500'000);
}

// The length and the position are those of the player's song while it is the one on show; a
// skip during a pause shows the next song, not yet read.
TEST_F(MprisTest, LengthAndPositionAreThoseOfTheSongOnShowOnceRead) {
    log->songLengthUs = 180'000'000;
    log->positionUs = 42'000'000;
    const struct {
        const char* method;
        bool read;
    } steps[] = {{"Play", true}, {"Pause", true}, {"Next", false}, {"Play", true}, {"Stop", false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.method);
        Press(step.method);
        EXPECT_EQ(Metadata().value(QStringLiteral("mpris:length")).toLongLong(), step.read ? 180'000'000 : 0);
        EXPECT_EQ(Get("Position").toLongLong(), step.read ? 42'000'000 : 0);
    }
}

TEST_F(MprisTest, SupportedMimeTypesAreThoseOfTheMenuEntry) {
    QFile entry(QStringLiteral(KYRO_DESKTOP_FILE));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList types;
    for (const QString& line : QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("MimeType="))) types = line.mid(9).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_TRUE(types.contains(QStringLiteral("audio/x-rcp")));
    EXPECT_EQ(Get("SupportedMimeTypes", "org.mpris.MediaPlayer2").toStringList(), types);
}

TEST_F(MprisTest, CallsFollowTheButtonsAndTheBusyFlag) {
    EXPECT_FALSE(Get("CanPause").toBool());
    auto ignored = [&](const char* method) {
        Call(kMprisPlayerInterface, QString::fromLatin1(method));
        QCoreApplication::processEvents();
        EXPECT_EQ(mid->State(), PlayerState::Stopped) << method;
        EXPECT_TRUE(log->commands.empty()) << method;
    };
    ignored("Pause");  // the play button would start a song, not pause one
    mid->SetBusy(true);
    ignored("PlayPause");
}

TEST_F(MprisTest, RaiseShowsTheWindowAndQuitRunsTheCloseQuery) {
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    QSignalSpy ending(mid.get(), &TfmMid::ProgramEnding);
    Call(root, QStringLiteral("Raise"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(mid->isVisible());
    Call(root, QStringLiteral("Quit"));
    EXPECT_TRUE(ending.wait(2000));
}

}  // namespace
}  // namespace kyro

#include "mpris_test.moc"
