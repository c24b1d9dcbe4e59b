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
    QVariant Get(const char* property) {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                        {QString::fromLatin1(kMprisPlayerInterface), QString::fromLatin1(property)});
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
    Press("Play");
    const QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), Title(*mid));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), Cp932ToQString(mid->Songs().groupNames[0]));
    EXPECT_EQ(QUrl(metadata.value(QStringLiteral("xesam:url")).toString()).toLocalFile(),
              QString::fromStdString(folder.Native("ALPHA.MID")));
    EXPECT_FALSE(metadata.contains(QStringLiteral("mpris:length")));  // the sequencer does not know it
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
