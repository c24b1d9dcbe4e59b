// Title reading from MIDI and RCP files made here byte by byte.

#include "songfiles/titles.h"

#include "support/tempfolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kyro {
namespace {

using test::TempFolder;

std::string Be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// A format 1 file with the given track bodies (delta times and events, end of track included).
std::string MidiFile(const std::vector<std::string>& tracks) {
    std::string file = "MThd" + Be32(6) + Bytes({0, 1, 0, static_cast<int>(tracks.size()), 0, 48});
    for (const auto& body : tracks) file += "MTrk" + Be32(static_cast<uint32_t>(body.size())) + body;
    return file;
}

// Delta 0, then the meta event FF type with a one-byte length.
std::string Meta(int type, const std::string& text) {
    return Bytes({0, 0xFF, type, static_cast<int>(text.size())}) + text;
}
const std::string kTempo = Bytes({0, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20});
const std::string kEndOfTrack = Bytes({0, 0xFF, 0x2F, 0});

// 79 ASCII bytes, then "読" (93 C7): its first byte is the 80th byte.
std::string LeadByteAt80() { return std::string(79, 'a') + "\x93\xC7" + std::string(19, 'b'); }

class Titles : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes) const {
        dir_.Write(name, bytes);
        return dir_.Dos() + name;
    }
    std::string Midi(const std::string& bytes, int expected = kTitleRead) const {
        std::string title = "old";
        EXPECT_EQ(ReadMidiTitle(Put("t.mid", bytes), title), expected);
        return title;
    }
    std::string Rcp(const std::string& bytes, int expected = kTitleRead) const {
        std::string title = "old";
        EXPECT_EQ(ReadRcpTitle(Put("t.rcp", bytes), title), expected);
        return title;
    }
    TempFolder dir_;
};

// ---- MIDI ---------------------------------------------------------------------------------------

TEST_F(Titles, MidiTrackName) {
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, "TITLE") + kEndOfTrack})), "TITLE");
    EXPECT_EQ(Midi(MidiFile({kTempo + Meta(0x01, "Text first") + Meta(0x03, "Name") + kEndOfTrack})), "Text first");
}

TEST_F(Titles, MidiEndOfTrackBeforeAnyName) {
    // Later tracks carry names, but the scan ends at the first end of track.
    EXPECT_EQ(Midi(MidiFile({kTempo + kEndOfTrack, Meta(0x03, "Piano") + kEndOfTrack})), kTitleNotSet);
    EXPECT_EQ(Midi(""), kTitleNotSet);
    EXPECT_EQ(Midi("not a midi file at all"), kTitleNotSet);
}

TEST_F(Titles, MidiOtherMetaEventsAreSkipped) {
    // Copyright (02) and marker (06) are not titles; FF FF is a type byte FF, skipped.
    EXPECT_EQ(Midi(MidiFile({Meta(0x02, "(c)") + Meta(0x06, "mark") + Meta(0x03, "Song") + kEndOfTrack})), "Song");
}

TEST_F(Titles, MidiTitleIsCutTo80Bytes) {
    const std::string text(100, 'x');
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, text) + kEndOfTrack})), std::string(80, 'x'));
    // A two-byte character across the 80-byte cut loses its first byte.
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, LeadByteAt80()) + kEndOfTrack})), std::string(79, 'a'));
    // A whole two-byte character at the end stays.
    const std::string whole = std::string(78, 'a') + "\x93\xC7";
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, whole) + kEndOfTrack})), whole);
}

TEST_F(Titles, MidiLengthFieldOfTwoBytesIsReadAsItsFirstByte) {
    // A 144-byte name has the variable-length field 81 10: 0x81 is taken as the length (80 after
    // the cut) and the title starts with the field's second byte.
    const std::string text(144, 'n');
    const std::string track = Bytes({0, 0xFF, 0x03, 0x81, 0x10}) + text + kEndOfTrack;
    EXPECT_EQ(Midi(MidiFile({track})), std::string(1, '\x10') + std::string(79, 'n'));
}

TEST_F(Titles, MidiLineFeedEndsTheTitleAndStays) {
    EXPECT_EQ(Midi(MidiFile({Meta(0x01, "Line 1\nLine 2") + kEndOfTrack})), "Line 1\n");
}

TEST_F(Titles, MidiTitleEndsAtNul) {
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, std::string("AB\0CD", 5)) + kEndOfTrack})), "AB");
    // A lone lead byte left in front of the NUL goes too.
    EXPECT_EQ(Midi(MidiFile({Meta(0x03, std::string("AB\x93\0CD", 6)) + kEndOfTrack})), "AB");
}

TEST_F(Titles, MidiFileEndingInsideTheEvent) {
    EXPECT_EQ(Midi(Bytes({0xFF, 0x03, 10}) + "ABC"), "ABC");
    EXPECT_EQ(Midi(Bytes({0xFF, 0x03, 10})), kTitleNotSet);
    EXPECT_EQ(Midi(Bytes({0xFF, 0x03})), kTitleNotSet);
    EXPECT_EQ(Midi(Bytes({0xFF})), kTitleNotSet);
}

TEST_F(Titles, MidiFileThatCannotBeOpened) {
    std::string title = "old";
    EXPECT_EQ(ReadMidiTitle(dir_.Dos() + "missing.mid", title), kTitleCannotOpen);
    EXPECT_EQ(title, "old");
    dir_.MakeFolder("folder.mid");
    EXPECT_EQ(ReadMidiTitle(dir_.Dos() + "folder.mid", title), kTitleCannotOpen);
    EXPECT_EQ(ReadMidiTitle("not a dos path", title), kTitleCannotOpen);
    EXPECT_EQ(title, "old");
}

TEST_F(Titles, MidiPathIsMatchedWithoutRegardToCase) {
    dir_.Write("Song.mid", MidiFile({Meta(0x03, "Found") + kEndOfTrack}));
    std::string title;
    EXPECT_EQ(ReadMidiTitle(dir_.Dos() + "SONG.MID", title), kTitleRead);
    EXPECT_EQ(title, "Found");
}

// ---- RCP ----------------------------------------------------------------------------------------

const std::string kRcp2Signature = std::string("RCM-PC98V2.0(C)COME ON MUSIC\r\n\0\0", 32);

// A 2.x header: signature, 64-byte title field, memo lines after it.
std::string Rcp2(const std::string& titleField, const std::string& memo = std::string(336, 'M')) {
    return kRcp2Signature + titleField + std::string(64 - titleField.size(), ' ') + memo;
}

TEST_F(Titles, RcpTooShortForTheTitle) {
    EXPECT_EQ(Rcp(std::string(20, 'x'), kTitleUnreadable), "old");
    EXPECT_EQ(Rcp(std::string(32, 'x'), kTitleUnreadable), "old");
    EXPECT_EQ(Rcp(std::string(33, 'x')), "x");
}

TEST_F(Titles, RcpTitleEndsAtNulAndKeepsSpaces) {
    EXPECT_EQ(Rcp(kRcp2Signature + "My song" + std::string(57, '\0') + std::string(336, ' ')), "My song");
    EXPECT_EQ(Rcp(Rcp2("")), std::string(64, ' '));
    EXPECT_EQ(Rcp(Rcp2("  padded  ")), "  padded" + std::string(56, ' '));
}

TEST_F(Titles, Rcp2TitleFieldIsNotGluedToTheMemo) {
    const std::string full(64, 'T');
    EXPECT_EQ(Rcp(Rcp2(full)), full);
    // A two-byte character cut by the field's end loses its first byte.
    EXPECT_EQ(Rcp(Rcp2(std::string(63, 'T') + "\x93")), std::string(63, 'T'));
}

TEST_F(Titles, OtherFilesAreRead80BytesFromOffset32) {
    const std::string header = std::string("COME ON MUSIC RECOMPOSER RCP3.0\0", 32);
    EXPECT_EQ(Rcp(header + std::string(128, 'G')), std::string(80, 'G'));
    EXPECT_EQ(Rcp(std::string(32, '\0') + LeadByteAt80()), std::string(79, 'a'));
    EXPECT_EQ(Rcp(std::string(32, ' ') + "two\nlines"), "two\n");
}

TEST_F(Titles, RcpFileThatCannotBeOpened) {
    std::string title = "old";
    EXPECT_EQ(ReadRcpTitle(dir_.Dos() + "missing.rcp", title), kTitleCannotOpen);
    EXPECT_EQ(title, "old");
}

}  // namespace
}  // namespace kyro
