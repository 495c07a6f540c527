#include "platform/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

using kestrel::platform::WorkerThread;
using namespace std::chrono_literals;

TEST(WorkerThread, StopRequestIsAnsweredAndThreadJoined)
{
    WorkerThread worker;
    std::atomic<int> passes{0};
    ASSERT_TRUE(worker.Create([&](WorkerThread &self) {
        for (;;) {
            ++passes;
            std::this_thread::yield(); // a pass of work, then a look for a request without waiting
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

TEST(WorkerThread, WorkerThatLeavesWithoutReplyingReleasesACallerAlreadyWaiting)
{
    WorkerThread worker;
    ASSERT_TRUE(worker.Create([](WorkerThread &self) {
        // Seeing the request proves the caller is inside CallWorker, waiting;
        // the procedure then ends without a reply, as a loop that saw its
        // running flag cleared does.
        self.WaitForRequest();
        return 0;
    }));
    auto call = std::async(std::launch::async, [&] { return worker.CallWorker(1); });
    if (call.wait_for(10s) != std::future_status::ready) {
        worker.Reply(0); // frees the stuck caller so the test can end
        FAIL() << "the caller was left waiting for a reply that never comes";
    }
    EXPECT_EQ(call.get(), std::nullopt);
    worker.Close();
    EXPECT_EQ(worker.CallWorker(1), std::nullopt) << "no thread, no wait";
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
