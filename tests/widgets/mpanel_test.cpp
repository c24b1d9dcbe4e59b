// MPanel: texts with "&" (paths, titles, group names) show literally and read back unchanged.
#include "widgets/mpanel.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

TEST(MPanelAmpersands, DoublingAndHalvingFollowTheScan) {
    EXPECT_EQ(DoubleAmpersands(QStringLiteral("A&B&&C")), QStringLiteral("A&&B&&&&C"));
    EXPECT_EQ(HalveAmpersands(QStringLiteral("A&&B&&&&C")), QStringLiteral("A&B&&C"));
    // A lone "&" has no pair to reduce; of "&&&" only the first pair is reduced.
    EXPECT_EQ(HalveAmpersands(QStringLiteral("A&B")), QStringLiteral("A&B"));
    EXPECT_EQ(HalveAmpersands(QStringLiteral("A&&&B")), QStringLiteral("A&&B"));
}

TEST(MPanelCaption2, RoundTripsPathsAndEmptyText) {
    MPanel panel;
    for (const QString& text : {QStringLiteral("D:\\R&B\\SONG.MID"), QStringLiteral("&&&"),
                                QStringLiteral("ﾛｯｸ&ﾛｰﾙ 名曲集&"), QString()}) {
        panel.SetCaption2(text);
        EXPECT_EQ(panel.Caption2(), text);
        EXPECT_EQ(MPanel::DisplayedText(panel.Caption()), text);
    }
    panel.SetCaption2(QString());
    EXPECT_TRUE(panel.Caption().isEmpty());
}

TEST(MPanelCaption2, PathShowsOneAmpersandAndNoAccelerator) {
    MPanel panel;
    panel.SetCaption2(QStringLiteral("D:\\R&B\\SONG.MID"));
    EXPECT_EQ(panel.Caption(), QStringLiteral("D:\\R&&B\\SONG.MID"));
    const QString shown = MPanel::DisplayedText(panel.Caption());
    EXPECT_EQ(shown, QStringLiteral("D:\\R&B\\SONG.MID"));
    EXPECT_EQ(shown.count(QLatin1Char('&')), 1);
}

TEST(MPanelDisplayedText, PlainCaptionUsesAcceleratorMarks) {
    EXPECT_EQ(MPanel::DisplayedText(QStringLiteral("&Play")), QStringLiteral("Play"));
    EXPECT_EQ(MPanel::DisplayedText(QStringLiteral("R&&B")), QStringLiteral("R&B"));
    EXPECT_EQ(MPanel::DisplayedText(QStringLiteral("end&")), QStringLiteral("end"));
}

TEST(MPanelLook, DefaultsToLeftAlignedFlatBox) {
    MPanel panel;
    EXPECT_EQ(panel.frameShape(), QFrame::Box);
    EXPECT_EQ(panel.frameShadow(), QFrame::Plain);
    // The property is reachable by name, as forms set it.
    EXPECT_TRUE(panel.setProperty("Caption2", QStringLiteral("R&B")));
    EXPECT_EQ(panel.Caption(), QStringLiteral("R&&B"));
    EXPECT_EQ(panel.property("Caption2").toString(), QStringLiteral("R&B"));
}

}  // namespace
}  // namespace kyro
