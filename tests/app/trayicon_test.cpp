// The tray icon: the tip's cut at 63 bytes, the tip in each player state, and the pairing of two
// context activations into the right double-click that closes the window.
#include "app/tfmmid.h"
#include "app/trayicon.h"
#include "platform/cp932.h"
#include "support/tempfolder.h"

#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace kyro {

// Puts a started window into a player state with a title shown.
class TrayProbe {
public:
    explicit TrayProbe(TfmMid& mid) : mid_(mid) {}
    void Show(PlayerState state, const QString& title) {
        mid_.state_ = state;
        mid_.edTitle_->setText(title);
        mid_.UpdateStatusDisplay();
    }

private:
    TfmMid& mid_;
};

namespace {

const QString kAppTitle = QStringLiteral("Kyrotune Lzh NT/95 Ver 2.52");

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override { QApplication::setApplicationName(kAppTitle); }
};

std::string Bytes(const QString& tip) { return QStringToCp932(tip).value(); }

TEST_F(TrayTest, TipIsTheTitleCutAt63BytesWhilePlaying) {
    const QString title70(70, QLatin1Char('t'));
    EXPECT_EQ(TrayTipText(true, title70), QString(63, QLatin1Char('t')));
    const QString title63(63, QLatin1Char('t'));
    EXPECT_EQ(TrayTipText(true, title63), title63);
    EXPECT_EQ(TrayTipText(true, QString()), QString());
}

TEST_F(TrayTest, TwoByteCharacterAcrossTheCutIsLeftOut) {
    // "あ" takes bytes 63 and 64: the tip ends before it instead of in half of it.
    const QString straddling = QString(62, QLatin1Char('a')) + QStringLiteral("あいう");
    EXPECT_EQ(TrayTipText(true, straddling), QString(62, QLatin1Char('a')));
    // Ending exactly at byte 63 keeps the character whole.
    const QString fitting = QString(61, QLatin1Char('a')) + QStringLiteral("あいう");
    EXPECT_EQ(TrayTipText(true, fitting), QString(61, QLatin1Char('a')) + QStringLiteral("あ"));
    // All two-byte characters: 31 of them (62 bytes); half-width katakana are one byte each.
    const QString kanji = QString(40, QChar(0x6F22));  // 漢
    EXPECT_EQ(Bytes(TrayTipText(true, kanji)).size(), 62u);
    const QString kana = QString(70, QChar(0xFF76));  // ｶ
    EXPECT_EQ(TrayTipText(true, kana), QString(63, QChar(0xFF76)));
}

TEST_F(TrayTest, TipIsTheApplicationTitleWhenNoSongPlays) {
    EXPECT_EQ(TrayTipText(false, QStringLiteral("Some song")), kAppTitle);
    EXPECT_EQ(TrayTipText(false, QString()), kAppTitle);
}

TEST_F(TrayTest, RightDoubleClickIsTwoContextActivationsWithinTheInterval) {
    TrayIcon tray;
    int closes = 0;
    int restores = 0;
    QObject::connect(&tray, &TrayIcon::closeRequested, [&] { ++closes; });
    QObject::connect(&tray, &TrayIcon::restoreRequested, [&] { ++restores; });
    const int interval = QApplication::doubleClickInterval();

    tray.Activate(QSystemTrayIcon::Context, 1000);
    EXPECT_EQ(closes, 0);
    tray.Activate(QSystemTrayIcon::Context, 1000 + interval);
    EXPECT_EQ(closes, 1);

    // A third click starts a new pair rather than closing again.
    tray.Activate(QSystemTrayIcon::Context, 1000 + interval + 10);
    EXPECT_EQ(closes, 1);

    // Two far apart are two single clicks.
    tray.Activate(QSystemTrayIcon::Context, 50000);
    tray.Activate(QSystemTrayIcon::Context, 50000 + interval + 1);
    EXPECT_EQ(closes, 1);
    tray.Activate(QSystemTrayIcon::Context, 50000 + interval + 2);
    EXPECT_EQ(closes, 2);  // ... and the second of them pairs with the next

    // Left clicks and a left double-click in between break a pair; the double-click restores.
    tray.Activate(QSystemTrayIcon::Context, 90000);
    tray.Activate(QSystemTrayIcon::DoubleClick, 90001);
    tray.Activate(QSystemTrayIcon::Context, 90002);
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(restores, 1);
    tray.Activate(QSystemTrayIcon::Trigger, 90003);
    EXPECT_EQ(restores, 1);
}

class TrayWindowTest : public TrayTest {
protected:
    std::unique_ptr<TfmMid> Start(const std::string& settings) {
        folder.Write("KYRO32.INI", settings + "[MIDI]\r\nOutput=null\r\n");
        AppContext context;
        context.programFolderNative = folder.Native();
        context.exeFolderNative = folder.Native();
        context.env.vars["TEMP"] = folder.Native();
        return std::make_unique<TfmMid>(context);
    }
    test::TempFolder folder;
};

TEST_F(TrayWindowTest, IconIsAddedAtTheEndOfStartUpWithTheApplicationTitle) {
    auto mid = Start("[KYRO32]\r\nWarningMsg=0\r\n");
    ASSERT_NE(mid->Tray(), nullptr);
    EXPECT_TRUE(mid->Tray()->Added());
    EXPECT_EQ(mid->Tray()->Tip(), kAppTitle);
}

TEST_F(TrayWindowTest, TipFollowsThePlayerState) {
    auto mid = Start("[KYRO32]\r\nWarningMsg=0\r\n");
    TrayProbe probe(*mid);
    const QString title70 = QString(69, QLatin1Char('x')) + QStringLiteral("あ");
    probe.Show(PlayerState::Playing, title70);
    EXPECT_EQ(mid->Tray()->Tip(), QString(63, QLatin1Char('x')));
    probe.Show(PlayerState::Paused, title70);
    EXPECT_EQ(mid->Tray()->Tip(), kAppTitle);
    probe.Show(PlayerState::Playing, QStringLiteral("さくら"));
    EXPECT_EQ(mid->Tray()->Tip(), QStringLiteral("さくら"));
    probe.Show(PlayerState::Stopped, QStringLiteral("さくら"));
    EXPECT_EQ(mid->Tray()->Tip(), kAppTitle);
}

TEST_F(TrayWindowTest, MinimisingWithoutATrayHostIsAnOrdinaryMinimise) {
    ASSERT_FALSE(TrayIcon::HostAvailable());  // offscreen: no notification area
    auto mid = Start("[KYRO32]\r\nWarningMsg=0\r\n");
    EXPECT_FALSE(mid->Tray()->CanHideWindow());
    mid->show();
    mid->showMinimized();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(mid->isMinimized());
    EXPECT_TRUE(mid->isVisible());  // still reachable through the taskbar
}

}  // namespace
}  // namespace kyro
