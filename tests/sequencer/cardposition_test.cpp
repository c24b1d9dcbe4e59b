// Where the card is, from the driver's calls: a late call does not pull the estimate back, and
// after an underrun (the whole stream later) the estimate follows within a moment.
#include "sequencer/cardposition.h"

#include <gtest/gtest.h>

namespace kyro {
namespace {

using namespace std::chrono_literals;

TEST(CardPositionTest, IgnoresALateCallButFollowsAnUnderrun) {
    constexpr double kRate = 1000.0;  // a frame a millisecond
    constexpr int kBuffer = 40, kPeriod = 10;
    struct Case {
        const char* name;
        int shiftedBy;  // milliseconds the calls come later: the last one only, or from the 50th on
        bool oneCall;   // the last call alone is late (the driver's thread was held up)
    };
    for (const Case& c : {Case{"a late call", 8, true}, Case{"an underrun", 8, false}}) {
        SCOPED_TRACE(c.name);
        CardPosition card(kRate, kBuffer);
        const auto t0 = CardPosition::Clock::time_point{} + 1s;
        CardPosition::Clock::time_point now = t0;
        for (int call = 0; call < 100; ++call) {  // a call every period, for a second
            const bool shifted = c.oneCall ? call == 99 : call >= 50;
            now = t0 + std::chrono::milliseconds(call * kPeriod + (shifted ? c.shiftedBy : 0));
            card.Observe(now, std::int64_t(call) * kPeriod);
        }
        // Frame F is asked for a buffer before it is heard; a late call found the card further on,
        // a call after an underrun did not.
        const double asked = double(99 * kPeriod - kBuffer);
        EXPECT_NEAR(*card.HeardFrameAt(now), c.oneCall ? asked + c.shiftedBy : asked, 0.5);
    }
}

}  // namespace
}  // namespace kyro
