#include "platform/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using kestrel::platform::WorkerThread;
using namespace std::chrono_literals;

TEST(WorkerThread, StopRequestIsAnsweredAndThreadJoined)
{
    WorkerThread worker;
    std::atomic<int> passes{0};
    ASSERT_TRUE(worker.Create([&](WorkerThread &self) {
        for (;;) {
            ++passes;
            std::this_thread::sleep_for(1ms);
            if (auto request = self.CheckRequest()) {
                self.Reply(*request == 1 ? 1 : 0);
                if (*request == 1)
                    return 0;
            }
        }
    }));
    EXPECT_FALSE(worker.Create([](WorkerThread &) { return 0; })) << "a second thread must be refused";
    EXPECT_EQ(worker.CallWorker(7), 0) << "a request other than stop is answered 0 and the loop goes on";
    EXPECT_EQ(worker.CallWorker(1), 1);
    worker.Close();
    EXPECT_FALSE(worker.ThreadExists());
    EXPECT_GT(passes.load(), 0);
}

TEST(WorkerThread, CallWithoutThreadFailsAtOnce)
{
    WorkerThread worker;
    EXPECT_EQ(worker.CallWorker(1), std::nullopt);
}

TEST(WorkerThread, WorkerThatLeavesWithoutReplyingDoesNotHangTheCaller)
{
    WorkerThread worker;
    std::atomic<bool> leave{false};
    ASSERT_TRUE(worker.Create([&](WorkerThread &) {
        while (!leave)
            std::this_thread::sleep_for(1ms);
        return 0;
    }));
    std::thread releaser([&] {
        std::this_thread::sleep_for(20ms);
        leave = true;
    });
    EXPECT_EQ(worker.CallWorker(1), std::nullopt);
    releaser.join();
    worker.Close();
}

TEST(WorkerThread, BlockingWaitSeesTheRequest)
{
    WorkerThread worker;
    ASSERT_TRUE(worker.Create([](WorkerThread &self) {
        int request = self.WaitForRequest();
        self.Reply(request + 1);
        return 0;
    }));
    EXPECT_EQ(worker.CallWorker(41), 42);
    worker.Close();
    EXPECT_TRUE(worker.Create([](WorkerThread &) { return 0; })) << "a closed worker can start again";
}
