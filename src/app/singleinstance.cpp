#include "app/singleinstance.h"

#include <QCryptographicHash>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QThread>

#include <utility>

namespace kyro {

namespace {

const QString kObjectPath = QStringLiteral("/io/github/kyrotune/Instance");
const QString kInterface = QStringLiteral("io.github.kyrotune.Instance");

QStringList ToQStringList(const std::vector<std::string>& paths) {
    QStringList list;
    for (const std::string& path : paths) list << QString::fromStdString(path);
    return list;
}

}  // namespace

// The file stays when the lock goes, for the next start.
InstanceLock::InstanceLock(const std::string& programFolderNative)
    : lock_(programFolderNative + "/" + kInstanceLockFile, true) {}

QString InstanceServiceName(const std::string& programFolderNative) {
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(programFolderNative),
                                                     QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("io.github.kyrotune.Instance.f") + QString::fromLatin1(hash);  // an element may not start with a digit
}

InstanceChannel::InstanceChannel(const std::string& programFolderNative) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kObjectPath, this, QDBusConnection::ExportAllSlots)) return;
    const QString name = InstanceServiceName(programFolderNative);
    if (bus.registerService(name)) serviceName_ = name;
    else bus.unregisterObject(kObjectPath);
}

InstanceChannel::~InstanceChannel() {
    if (!Listening()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName_);
    bus.unregisterObject(kObjectPath);
}

void InstanceChannel::SetHandlers(std::function<void()> raise,
                                  std::function<void(const std::vector<std::string>&)> open) {
    raise_ = std::move(raise);
    open_ = std::move(open);
    if (std::exchange(raisePending_, false)) raise_();
    if (!openPending_.empty()) open_(std::exchange(openPending_, {}));
}

void InstanceChannel::Raise() {
    if (raise_) raise_();
    else raisePending_ = true;
}

void InstanceChannel::Open(const QStringList& nativePaths) {
    std::vector<std::string> paths;
    for (const QString& path : nativePaths) paths.push_back(path.toStdString());
    if (open_) open_(paths);
    else openPending_ = std::move(paths);
}

bool TellRunningInstance(const std::string& programFolderNative, const std::vector<std::string>& nativePaths) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const QString name = InstanceServiceName(programFolderNative);
    // The first start takes its name just after the lock: give it a moment.
    for (int tries = 0; tries < 40 && !bus.interface()->isServiceRegistered(name); ++tries) QThread::msleep(50);
    auto call = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(name, kObjectPath, kInterface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    };
    if (!call(QStringLiteral("Raise"), {})) return false;
    return nativePaths.empty() || call(QStringLiteral("Open"), {ToQStringList(nativePaths)});
}

}  // namespace kyro
