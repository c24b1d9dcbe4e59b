#include "platform/cp932.h"

#include "platformtesthelpers.h"

#include <gtest/gtest.h>

#include <thread>

namespace kyro {
namespace {

const QString kFffd(QChar(0xFFFD));

struct RoundTrip {
    const char* text;   // UTF-8
    std::string cp932;  // the bytes code page 932 gives it
};

class Cp932RoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(Cp932RoundTrip, DecodesAndEncodesExactly) {
    const RoundTrip& c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(Cp932ToQString(c.cp932), text);
    EXPECT_EQ(QStringToCp932(text), c.cp932);
    EXPECT_EQ(Cp932ToUtf8(c.cp932), c.text);
    EXPECT_EQ(Utf8ToCp932(c.text), c.cp932);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932RoundTrip,
    ::testing::Values(RoundTrip{"－タイトル未取得－", "\x81\x7C\x83\x5E\x83\x43\x83\x67\x83\x8B\x96\xA2\x8E\xE6\x93\xBE\x81\x7C"},
                      RoundTrip{"ﾌｧｲﾙを開けませんでした。",
                                "\xCC\xA7\xB2\xD9\x82\xF0\x8A\x4A\x82\xAF\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x81\x42"},
                      RoundTrip{"①", "\x87\x40"},
                      RoundTrip{"～", "\x81\x60"},  // U+FF5E, not the wave dash of JIS
                      RoundTrip{"C:\\MIDI\\~1.MID", "C:\\MIDI\\~1.MID"},  // 0x5C stays "\", 0x7E stays "~"
                      RoundTrip{"ソ表", "\x83\x5C\x95\x5C"},  // second bytes 0x5C are not backslashes
                      RoundTrip{"", ""}));

TEST(Cp932Decode, EachInvalidByteBecomesOneReplacementCharacter) {
    // A lone lead byte at the end (iconv stops with EINVAL).
    EXPECT_EQ(Cp932ToQString("A\x82"), "A" + kFffd);
    // A lead byte with a bad trail byte: the lead byte is replaced, the space is kept.
    EXPECT_EQ(Cp932ToQString("\x82 B"), kFffd + " B");
    // Single bytes that are no character at all.
    EXPECT_EQ(Cp932ToQString("a\x80" "b\xA0" "c\xFD\xFE\xFF"), "a" + kFffd + "b" + kFffd + "c" + kFffd + kFffd + kFffd);
    // The text after a bad byte is decoded as usual.
    EXPECT_EQ(Cp932ToQString("\x80\x87\x40"), kFffd + QString::fromUtf8("①"));
    EXPECT_EQ(Cp932ToUtf8("\x80" "x"), "\xEF\xBF\xBD" "x");
}

TEST(Cp932Decode, LongInputWithBadBytesThroughout) {
    std::string bytes;
    QString expected;
    for (int i = 0; i < 2000; ++i) {
        bytes += "\x87\x40\x80";
        expected += QString::fromUtf8("①") + kFffd;
    }
    EXPECT_EQ(Cp932ToQString(bytes), expected);
}

TEST(Cp932Encode, RefusesCharactersCp932CannotHold) {
    EXPECT_EQ(QStringToCp932(QString::fromUtf8("price €5")), std::nullopt);
    EXPECT_EQ(QStringToCp932(QString::fromUtf8("曲😀")), std::nullopt);
    EXPECT_EQ(QStringToCp932(QString(QChar(0xFFFD))), std::nullopt);
    EXPECT_EQ(QStringToCp932(QString(QChar(0xD800))), std::nullopt);  // a lone surrogate
    EXPECT_EQ(Utf8ToCp932("\xE2\x82\xAC"), std::nullopt);           // €
    EXPECT_EQ(Utf8ToCp932("ok\xC3"), std::nullopt);                 // cut UTF-8
    EXPECT_EQ(Utf8ToCp932("\xFF"), std::nullopt);                   // not UTF-8
}

TEST(Cp932Encode, WorksOnEveryThread) {
    std::optional<std::string> other;
    std::thread worker([&] { other = QStringToCp932(QString::fromUtf8("①")); });
    worker.join();
    EXPECT_EQ(other, std::string("\x87\x40"));
    EXPECT_EQ(QStringToCp932(QString::fromUtf8("①")), std::string("\x87\x40"));
}

TEST(CutCp932, NeverLeavesALeadByteAtTheEnd) {
    const std::string text = "AB\x83\x5E\x83\x43";  // "ABタイ"
    EXPECT_EQ(CutCp932(text, 3), "AB");               // inside "タ"
    EXPECT_EQ(CutCp932(text, 4), "AB\x83\x5E");
    EXPECT_EQ(CutCp932(text, 5), "AB\x83\x5E");       // inside "イ"
    EXPECT_EQ(CutCp932(text, 100), text);
    EXPECT_EQ(CutCp932(text, 0), "");
}

TEST(CutCp932, FindsLeadBytesFromTheStart) {
    // "ソ" is 83 5C and "ア" is 83 41: read backwards, 5C 83 would look like "\" and a lead byte.
    const std::string text = "\x83\x5C\x83\x41";
    EXPECT_EQ(CutCp932(text, 3), "\x83\x5C");
    // 0x83 here is the second byte of "\x81\x83" ("＜"), not a lead byte: the cut keeps it.
    EXPECT_EQ(CutCp932("\x81\x83" "A", 2), "\x81\x83");
    // A text that already ends with a lone lead byte loses it.
    EXPECT_EQ(CutCp932("AB\x83", 10), "AB");
}

}  // namespace
TEST(FileNamePart, A5CSecondByteIsNoSeparator) {
    EXPECT_EQ(FileNamePart("D:\\MIDI\\SONG.MID"), "SONG.MID");
    EXPECT_EQ(FileNamePart("D:\\\x95\x5C\\A.MID"), "A.MID");         // folder 表
    EXPECT_EQ(FileNamePart("D:\\MIDI\\\x83\x5C.MID"), "\x83\x5C.MID");  // file ソ.MID
    EXPECT_EQ(FileNamePart("SONG.MID"), "SONG.MID");
    EXPECT_EQ(FileNamePart("D:\\MIDI\\"), "");
}

}  // namespace kyro
