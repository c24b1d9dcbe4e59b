// One player per program folder: the lock on the folder and the channel a later start reaches
// the first one by.
#include "app/singleinstance.h"

#include "support/tempfolder.h"

#include <QDBusConnection>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace kyro {
namespace {

TEST(InstanceLockTest, AFolderIsHeldOnlyWhileItsHolderLives) {
    test::TempFolder folder, other;
    {
        InstanceLock first(folder.Native());
        EXPECT_FALSE(first.HeldElsewhere());
        EXPECT_TRUE(InstanceLock(folder.Native()).HeldElsewhere());
        EXPECT_FALSE(InstanceLock(other.Native()).HeldElsewhere());  // folders run side by side
    }
    EXPECT_FALSE(InstanceLock(folder.Native()).HeldElsewhere());
}

TEST(InstanceLockTest, TheLockOfAKilledProcessIsTakenOver) {
    test::TempFolder folder;
    QProcess holder;
    // -o: the lock stays with flock itself, not with the command it runs.
    holder.start(QStringLiteral("flock"), {QStringLiteral("-o"), QString::fromStdString(folder.Native(kInstanceLockFile)),
                                           QStringLiteral("sleep"), QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted());
    bool held = false;
    for (int tries = 0; tries < 100 && !held; ++tries, QThread::msleep(20))
        held = InstanceLock(folder.Native()).HeldElsewhere();
    ASSERT_TRUE(held);
    holder.kill();
    holder.waitForFinished();
    EXPECT_FALSE(InstanceLock(folder.Native()).HeldElsewhere());  // the file stays, the lock does not
}

TEST(InstanceChannelTest, ALaterStartRaisesTheFirstAndHandsItsFiles) {
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    test::TempFolder folder;
    InstanceChannel first(folder.Native());
    ASSERT_TRUE(first.Listening());

    // A request that comes during start-up waits for the window.
    ASSERT_TRUE(TellRunningInstance(folder.Native(), {"/songs/A.MID", "/songs/B.RCP"}));
    int raises = 0;
    std::vector<std::string> opened;
    first.SetHandlers([&] { ++raises; }, [&](const std::vector<std::string>& files) { opened = files; });
    EXPECT_EQ(raises, 1);
    EXPECT_EQ(opened, (std::vector<std::string>{"/songs/A.MID", "/songs/B.RCP"}));

    ASSERT_TRUE(TellRunningInstance(folder.Native(), {}));
    EXPECT_EQ(raises, 2);
    EXPECT_EQ(opened.size(), 2u);  // no files, no Open
}

}  // namespace
}  // namespace kyro
