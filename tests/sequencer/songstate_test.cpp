// What the engine remembers of the channels: held notes, and the set-up before a position.
#include "sequencer/songstate.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

using Msg = std::vector<std::uint8_t>;

void Track(HeldNotes& held, const Msg& m) { held.Track(m.data(), m.size()); }

TEST(HeldNotes, FollowsNoteOnsOffsAndTheSilencingControllers) {
    HeldNotes held;
    EXPECT_FALSE(held.Any());
    Track(held, {0x90, 60, 100});
    Track(held, {0x9F, 127, 1});
    Track(held, {0x91, 61, 100});
    EXPECT_TRUE(held.IsHeld(0, 60));
    EXPECT_TRUE(held.IsHeld(15, 127));
    Track(held, {0x90, 60, 0});  // velocity 0 ends a note
    EXPECT_FALSE(held.IsHeld(0, 60));
    Track(held, {0x8F, 127, 64});
    EXPECT_FALSE(held.IsHeld(15, 127));
    Track(held, {0xB1, 123, 0});  // all notes off on channel 2 only
    EXPECT_FALSE(held.IsHeld(1, 61));
    Track(held, {0x93, 70, 100});
    Track(held, {0xB3, 120, 0});  // all sound off
    EXPECT_FALSE(held.Any());
    // Short or foreign messages change nothing.
    Track(held, {0x90});
    Track(held, {0xF0, 0x7E, 0xF7});
    Track(held, {0xA0, 60, 10});
    EXPECT_FALSE(held.Any());
}

std::vector<Msg> SetUpOf(const std::vector<SongEvent>& events, std::size_t end) {
    std::vector<Msg> out;
    for (std::size_t i : ChannelSetupBefore(events, end)) out.push_back(events[i].message);
    return out;
}

TEST(ChannelSetupBefore, KeepsTheLastValueOfPlainControllersPerChannel) {
    const std::vector<SongEvent> events = {
        {0, {0xB0, 7, 100}}, {0, {0xB1, 7, 90}}, {1, {0xB0, 7, 80}}, {1, {0xB0, 11, 70}},
        {2, {0xE0, 0, 64}},  {2, {0xE0, 5, 70}}, {2, {0xD0, 30}},    {3, {0xD0, 40}},
        {3, {0x90, 60, 1}},  {3, {0xA0, 60, 9}},
    };
    EXPECT_EQ(SetUpOf(events, events.size()),
              (std::vector<Msg>{{0xB1, 7, 90}, {0xB0, 7, 80}, {0xB0, 11, 70}, {0xE0, 5, 70}, {0xD0, 40}}));
    // Only events before the end count.
    EXPECT_EQ(SetUpOf(events, 1), (std::vector<Msg>{{0xB0, 7, 100}}));
    EXPECT_TRUE(SetUpOf(events, 0).empty());
    EXPECT_EQ(SetUpOf(events, 99).size(), 5u);  // an end past the events is the end of the events
}

TEST(ChannelSetupBefore, KeepsOrderWhereOrderMatters) {
    const std::vector<SongEvent> events = {
        {0, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}},
        {0, {0xB0, 11, 50}},
        {0, {0xB0, 0, 8}},  {0, {0xC0, 20}},  // bank 8, program 20
        {1, {0xB0, 0, 0}},  {1, {0xC0, 21}},  // bank 0, program 21
        {1, {0xB0, 121, 0}},                  // resets the expression before it
        {2, {0xB0, 123, 0}}, {2, {0xB0, 120, 0}},  // silencing: never re-sent
        {2, {0xF7, 0x01, 0x02}},
    };
    EXPECT_EQ(SetUpOf(events, events.size()),
              (std::vector<Msg>{events[0].message, {0xB0, 11, 50}, {0xB0, 0, 8}, {0xC0, 20}, {0xB0, 0, 0},
                                {0xC0, 21}, {0xB0, 121, 0}, {0xF7, 0x01, 0x02}}));
}

TEST(ChannelSetupBefore, IgnoresEmptyAndTruncatedMessages) {
    const std::vector<SongEvent> events = {{0, {}}, {0, {0xB0, 7}}, {0, {0xC0}}, {0, {0xE0, 1}}};
    EXPECT_TRUE(SetUpOf(events, events.size()).empty());
}

}  // namespace
}  // namespace kyro
