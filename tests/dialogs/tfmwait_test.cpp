// TfmWait: the countdown of wait mode 1, Cancel in modal and modeless use, what each wait mode
// shows, and the entry name of a long walk.
#include "dialogs/tfmwait.h"

#include "widgets/mpanel.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kyro {
namespace {

class TfmWaitTest : public ::testing::Test {
protected:
    MPanel* Panel(const char* name) { return wait_.findChild<MPanel*>(name); }
    QPushButton* Button(const char* name) { return wait_.findChild<QPushButton*>(name); }
    QTimer* Timer1() { return wait_.findChild<QTimer*>(QStringLiteral("Timer1")); }

    TfmWait wait_;
};

TEST_F(TfmWaitTest, CountdownEndsWithOk) {
    for (const auto& [busy, statuses] : {std::pair{3, QStringList{"Wait 3s", "Wait 2s", "Wait 1s", "Wait 0s"}},
                                         std::pair{0, QStringList{"Wait 0s", "Wait 0s"}}}) {
        wait_.SetUnlhaBusy(busy);
        wait_.show();
        EXPECT_TRUE(Panel("edStatus")->isVisible());
        QStringList seen{Panel("edStatus")->Caption()};  // after showing, then after each tick
        while (wait_.isVisible() && seen.size() < 10) {
            wait_.Timer1Timer();
            seen << Panel("edStatus")->Caption();
        }
        EXPECT_EQ(seen, statuses);
        EXPECT_EQ(wait_.result(), QDialog::Accepted);
        EXPECT_FALSE(Timer1()->isActive());
    }
}

TEST_F(TfmWaitTest, CancelInModalUseEndsAtOnce) {
    wait_.SetUnlhaBusy(5);
    const std::function<void()> cancels[] = {[this] { Button("CancelBtn")->click(); },
                                             [this] { QTest::keyClick(&wait_, Qt::Key_Escape); }};
    for (const auto& cancel : cancels) {
        QTimer::singleShot(0, &wait_, cancel);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(wait_.exec(), QDialog::Rejected);
        EXPECT_LT(clock.elapsed(), 1000) << "before the first tick";
        EXPECT_TRUE(wait_.Cancelled());
        EXPECT_FALSE(Timer1()->isActive());
    }
}

TEST_F(TfmWaitTest, ModelessModesShowTheirCaptionsAndCancelOnlySetsTheFlag) {
    // One dialog throughout: each showing undoes what the one before showed and clears the flag
    // that Cancel set. Mode 7 is unknown and keeps the caption it finds.
    const std::tuple<int, QString, bool> cases[] = {  // mode, caption, names instead of lblJust
        {4, QStringLiteral("迷子ファイル調査中です。"), true},
        {2, QStringLiteral("ファイルを検索中です。"), false},
        {3, QStringLiteral("重複チェック中です。"), false},
        {7, QStringLiteral("重複チェック中です。"), false},
    };
    for (const auto& [mode, caption, names] : cases) {
        wait_.SetWaitMode(mode);
        wait_.ShowModeless();
        EXPECT_FALSE(wait_.Cancelled());
        EXPECT_EQ(Panel("edMode")->Caption(), caption);
        EXPECT_EQ(wait_.findChild<QLabel*>(QStringLiteral("lblJust"))->isVisible(), !names) << mode;
        EXPECT_EQ(Panel("edGrpName")->isVisible(), names) << mode;
        EXPECT_EQ(Panel("edListName")->isVisible(), names) << mode;
        EXPECT_FALSE(Panel("edStatus")->isVisible());
        QTest::mouseClick(Button("CancelBtn"), Qt::LeftButton);
        EXPECT_TRUE(wait_.Cancelled());
        EXPECT_TRUE(wait_.isVisible()) << "the caller's loop hides it";
        wait_.hide();
    }
}

TEST_F(TfmWaitTest, AWalkEndsShowingItsLastEntry) {
    wait_.SetWaitMode(TfmWait::kLostFileCheck);
    wait_.ShowModeless();
    MPanel* listName = Panel("edListName");
    QElapsedTimer clock;
    clock.start();
    for (const char* path : {"D:\\A.MID", "D:\\B.MID", "D:\\R&B\\\x8B\xC8.MID"}) wait_.SetListName(path);  // 曲
    if (clock.elapsed() < 50) {
        EXPECT_EQ(listName->Caption2(), QStringLiteral("D:\\A.MID")) << "painted at most every 50 ms";
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return listName->Caption2() == QStringLiteral("D:\\R&B\\曲.MID"); }, 2000));
}

}  // namespace
}  // namespace kyro
