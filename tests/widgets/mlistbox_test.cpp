// MListBox: the horizontal extent and the scroll range it gives.
#include "widgets/mlistbox.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace kyro {
namespace {

TEST(MListBoxExtent, LongestItemInBytesTimesAverageCapital) {
    // 25 two-byte characters are 50 bytes, longer in bytes than the 40-character ASCII item.
    std::string kana;
    for (int i = 0; i < 25; ++i) kana += "\x83\x5E";  // katakana "ta" in CP932
    const std::vector<std::string> items = {std::string(40, 'A'), kana, "SHORT.MID"};
    EXPECT_EQ(HorizontalExtent(items, 182 / 26), 350);
    EXPECT_EQ(HorizontalExtent({}, 7), 0);
}

TEST(MListBoxExtent, AverageCapitalDropsTheRemainder) {
    QFont font;
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    int sum = 0;
    for (char c = 'A'; c <= 'Z'; ++c) sum += metrics.horizontalAdvance(QLatin1Char(c));
    ASSERT_GT(sum, 0);
    EXPECT_EQ(AverageCapitalWidth(font), sum / 26);
}

TEST(MListBoxExtent, UpdateSetsScrWidthFromTheBoxFont) {
    MListBox box;
    const std::vector<std::string> items = {"D:\\MIDI\\SONG.MID", "D:\\LZH\\PACK.LZH->a.mid"};
    UpdateHorizontalExtent(box, items);
    EXPECT_EQ(box.ScrWidth(), 22 * AverageCapitalWidth(box.font()));  // the second item: 22 bytes
}

class MListBoxScroll : public ::testing::Test {
protected:
    void SetUp() override {
        box.resize(200, 120);
        box.addItem(QStringLiteral("D:\\MIDI\\SONG.MID"));
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    }
    MListBox box;
};

TEST_F(MListBoxScroll, WideExtentScrollsOverTheRest) {
    const int viewport = box.viewport()->width();
    box.SetScrWidth(viewport + 450);
    QCoreApplication::processEvents();
    EXPECT_EQ(box.horizontalScrollBar()->minimum(), 0);
    EXPECT_EQ(box.horizontalScrollBar()->maximum(), box.ScrWidth() - box.viewport()->width());
    EXPECT_GE(box.horizontalScrollBar()->maximum(), 450);
    // Scrolling is by pixels, so the far end is reachable exactly.
    box.horizontalScrollBar()->setValue(box.horizontalScrollBar()->maximum());
    EXPECT_EQ(box.horizontalScrollBar()->value(), box.horizontalScrollBar()->maximum());
}

TEST_F(MListBoxScroll, ExtentWithinTheViewportGivesNoRange) {
    box.SetScrWidth(box.viewport()->width() / 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(box.horizontalScrollBar()->maximum(), 0);
}

TEST_F(MListBoxScroll, ZeroRemovesTheRangeEvenForLongItems) {
    box.SetScrWidth(1000);
    box.addItem(QString(300, QLatin1Char('W')));  // wider than the box on its own
    box.SetScrWidth(0);
    QTest::qWait(50);
    EXPECT_EQ(box.ScrWidth(), 0);
    EXPECT_EQ(box.horizontalScrollBar()->maximum(), 0);
    EXPECT_FALSE(box.horizontalScrollBar()->isVisible());
}

TEST_F(MListBoxScroll, RangeFollowsAResize) {
    box.SetScrWidth(800);
    box.resize(400, 120);
    QCoreApplication::processEvents();
    EXPECT_EQ(box.horizontalScrollBar()->maximum(), 800 - box.viewport()->width());
}

TEST(MListBoxScrWidth, NegativeCountsAsNone) {
    MListBox box;
    box.SetScrWidth(-5);
    EXPECT_EQ(box.ScrWidth(), 0);
    EXPECT_TRUE(box.setProperty("ScrWidth", 320));
    EXPECT_EQ(box.ScrWidth(), 320);
}

}  // namespace
}  // namespace kyro
