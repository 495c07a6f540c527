#include "call/AcceptBackoff.h"
#include "call/CallerHoldList.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace kestrel::call;
using namespace std::chrono_literals;

TEST(AcceptBackoff, PauseDoublesUpToTwoSecondsAndASuccessStartsOver)
{
    AcceptBackoff backoff;
    const auto t0 = AcceptBackoff::Clock::time_point{} + 1h;
    EXPECT_FALSE(backoff.Pausing(t0));
    std::chrono::milliseconds expected[] = {100ms, 200ms, 400ms, 800ms, 1600ms, 2000ms, 2000ms};
    auto now = t0;
    for (auto pause : expected) {
        backoff.Failed(now);
        EXPECT_TRUE(backoff.Pausing(now + pause - 1ms));
        EXPECT_FALSE(backoff.Pausing(now + pause));
        EXPECT_EQ(*backoff.RetryAt(), now + pause);
        now += pause;
    }
    backoff.Succeeded();
    EXPECT_FALSE(backoff.Pausing(now));
    backoff.Failed(now);
    EXPECT_EQ(*backoff.RetryAt(), now + 100ms);
}

TEST(CallerHoldList, AnAddressIsHeldUntilTenSecondsAfterItsQuestion)
{
    CallerHoldList holds;
    const auto asked = CallerHoldList::Clock::time_point{} + 1h;
    const in_addr_t flooder = ::inet_addr("10.0.0.1"), other = ::inet_addr("10.0.0.2");
    holds.QuestionUnanswered(flooder, asked, asked + 50ms);
    EXPECT_TRUE(holds.OnHold(flooder, asked + 9s));
    EXPECT_FALSE(holds.OnHold(other, asked + 1s));
    EXPECT_FALSE(holds.OnHold(flooder, asked + 10s));
    EXPECT_EQ(holds.Size(), 0u) << "an expired hold is forgotten";

    // A caller whose question lasted its whole answer time is not held.
    holds.QuestionUnanswered(other, asked, asked + 10s);
    EXPECT_FALSE(holds.OnHold(other, asked + 10s));
}

TEST(CallerHoldList, ManyAddressesNeverGrowTheListBeyondItsLimit)
{
    CallerHoldList holds;
    const auto now = CallerHoldList::Clock::time_point{} + 1h;
    const uint32_t count = 3 * CallerHoldList::kMaxAddresses;
    // Questions put one millisecond apart, all unanswered and all still held.
    for (uint32_t i = 0; i < count; ++i)
        holds.QuestionUnanswered(htonl(0x0a000000 + i), now - 5s + std::chrono::milliseconds(i), now);
    EXPECT_EQ(holds.Size(), CallerHoldList::kMaxAddresses);
    EXPECT_TRUE(holds.OnHold(htonl(0x0a000000 + count - 1), now + 1s)) << "the latest hold is kept";
    EXPECT_FALSE(holds.OnHold(htonl(0x0a000000), now + 1s)) << "the one released soonest made room";
}
