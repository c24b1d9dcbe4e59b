// The playing order of events at the same time.

#include "sequencer/song.h"
#include "songdump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kyro {
namespace {

using test::DumpEvents;
using ::testing::ElementsAre;

Song Events(std::vector<SongEvent> events) {
    Song s;
    s.events = std::move(events);
    return s;
}

TEST(SongOrder, AtTheSameTimeNoteOffsThenSysExThenOtherMessagesThenNoteOns) {
    Song s = Events({
        {0, {0x90, 0x3C, 0x40}},              // note-on
        {0, {0xB0, 0x07, 0x64}},              // controller
        {0, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}},
        {0, {0x80, 0x3C, 0x00}},              // note-off
        {0, {0xC0, 0x05}},                    // program
        {0, {0x91, 0x3C, 0x00}},              // note-on with velocity 0: a note-off
        {0, {0xE0, 0x00, 0x40}},              // pitch bend
        {0, {0x12, 0x34, 0xF7}},              // the rest of a SysEx sent as an F7 escape
        {0, {0xD0, 0x10}},                    // channel pressure
        {0, {0xA0, 0x3C, 0x10}},              // key pressure
    });
    OrderSongEvents(s.events);
    EXPECT_THAT(DumpEvents(s), ElementsAre("0 80 3C 00", "0 91 3C 00", "0 F0 7E 7F 09 01 F7", "0 12 34 F7",
                                           "0 B0 07 64", "0 C0 05", "0 E0 00 40", "0 D0 10", "0 A0 3C 10",
                                           "0 90 3C 40"));
}

TEST(SongOrder, TimeComesFirstAndEqualEventsKeepTheFileOrder) {
    Song s = Events({
        {20, {0x80, 0x3C, 0x00}},
        {10, {0x90, 0x3C, 0x40}},
        {10, {0x90, 0x3E, 0x40}},
        {10, {0x90, 0x40, 0x40}},
        {0, {0x90, 0x43, 0x40}},
        {10, {0xB0, 0x40, 0x7F}},
        {10, {0xB0, 0x40, 0x00}},
    });
    OrderSongEvents(s.events);
    EXPECT_THAT(DumpEvents(s), ElementsAre("0 90 43 40", "10 B0 40 7F", "10 B0 40 00", "10 90 3C 40",
                                           "10 90 3E 40", "10 90 40 40", "20 80 3C 00"));
}

TEST(SongOrder, AShortNoteOnTheSameTickAsTheNextOneIsNotCutOff) {
    // The same key released and struck again on one tick: released first, or the new note would end at once.
    Song s = Events({{500, {0x90, 0x3C, 0x40}}, {500, {0x90, 0x3C, 0x00}}});
    OrderSongEvents(s.events);
    EXPECT_THAT(DumpEvents(s), ElementsAre("500 90 3C 00", "500 90 3C 40"));
}

}  // namespace
}  // namespace kyro
