#include "ThreadProbe.h"
#include "platform/PollInterrupter.h"

#include <gtest/gtest.h>

#include <poll.h>

using kestrel::call::test::PollCalls;
using kestrel::call::test::ProbedThread;
using kestrel::platform::PollInterrupter;
using namespace std::chrono_literals;

TEST(PollInterrupter, InterruptWakesAPollOnAnotherThreadUntilCleared)
{
    PollInterrupter wake;
    EXPECT_FALSE(wake.Pending());
    int result = 0;
    ProbedThread waiting([&] {
        pollfd entry{wake.Descriptor(), POLLIN, 0};
        result = ::poll(&entry, 1, -1);
    });
    ASSERT_TRUE(waiting.WaitUntilBlockedIn(PollCalls()));
    wake.Interrupt();
    ASSERT_TRUE(waiting.WaitForEnd(1s));
    EXPECT_EQ(result, 1);

    wake.Interrupt(); // several interrupts are one
    EXPECT_TRUE(wake.Pending());
    wake.Clear();
    EXPECT_FALSE(wake.Pending());
    wake.Clear(); // clearing nothing does not block
    EXPECT_FALSE(wake.Pending());
}
