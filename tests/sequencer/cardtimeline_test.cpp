// The benchmark's sound card, which says when a listener hears each frame: a period written after
// the card ran out of sound is heard as silence, and everything after it comes that much later.
// A measure that ignored the late period would report every later onset on time.
#include "cardtimeline.h"

#include <gtest/gtest.h>

namespace kyro::bench {
namespace {

using namespace std::chrono_literals;

TEST(CardTimelineTest, ALatePeriodIsHeardAsSilenceAndDelaysEverythingAfterIt) {
    struct Case {
        const char* name;
        CardTimeline::Clock::duration late;  // after the card ran out, when period 6 is written
        long underruns;
    };
    for (const Case& c : {Case{"on time", 0ms, 0}, Case{"late", 7ms, 1}}) {
        SCOPED_TRACE(c.name);
        // 1000 frames a second: a frame is a millisecond, a period of 10 frames 10 ms.
        CardTimeline card(1000.0, 10, 4, 100);
        const auto t0 = CardTimeline::Clock::time_point{} + 1s;
        for (int period = 0; period < 10; ++period) {
            auto at = std::max(card.RoomAt(), t0);
            if (period == 6) at = t0 + 60ms + c.late;  // the card has played periods 0-5 by t0 + 60 ms
            card.Write(at);
        }
        EXPECT_EQ(card.Underruns(), c.underruns);
        EXPECT_EQ(card.Silence(), c.late);
        EXPECT_EQ(card.PlayedAt(0), t0);
        EXPECT_EQ(card.PlayedAt(55), t0 + 55ms);             // before the late period
        EXPECT_EQ(card.PlayedAt(85), t0 + 85ms + c.late);    // after it
        EXPECT_EQ(card.PlayedAt(100), CardTimeline::Clock::time_point::max());  // never written
    }
}

}  // namespace
}  // namespace kyro::bench
