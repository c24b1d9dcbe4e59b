#pragma once
// One player per program folder. The first start holds a lock on a file in the folder for as long
// as it runs (the kernel lets go of it when the process ends, however it ends) and listens on the
// session bus under a name made from the folder's path. A later start on the same folder finds the
// lock taken, asks the first to show its window and play the files it was given, and ends.

#include "platform/filelock.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace kyro {

inline constexpr char kInstanceLockFile[] = "KYROTUNE.LCK";

class InstanceLock {
public:
    explicit InstanceLock(const std::string& programFolderNative);

    // Another process holds the folder. A folder where the lock file cannot be made (read-only)
    // counts as free: the program then runs as it always did.
    bool HeldElsewhere() const { return lock_.Status() == FileLock::State::HeldElsewhere; }
    // This run is the folder's only writer.
    bool Held() const { return lock_.Held(); }

private:
    FileLock lock_;
};

// The session bus name of the player on a program folder.
QString InstanceServiceName(const std::string& programFolderNative);

// What the first start answers to. Requests that come before the window can take them (while
// start-up shows a message) wait until the handlers are set.
class InstanceChannel : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.kyrotune.Instance")
public:
    explicit InstanceChannel(const std::string& programFolderNative);
    ~InstanceChannel() override;

    bool Listening() const { return !serviceName_.isEmpty(); }
    void SetHandlers(std::function<void()> raise, std::function<void(const std::vector<std::string>&)> open);

public slots:
    void Raise();
    void Open(const QStringList& nativePaths);

private:
    QString serviceName_;
    std::function<void()> raise_;
    std::function<void(const std::vector<std::string>&)> open_;
    bool raisePending_ = false;
    std::vector<std::string> openPending_;
};

// A later start: asks the player on the folder to show itself and to open the files (native,
// absolute paths). False when it could not be reached.
bool TellRunningInstance(const std::string& programFolderNative, const std::vector<std::string>& nativePaths);

}  // namespace kyro
