#include "LoopbackPeer.h"
#include "ThreadProbe.h"
#include "call/BlockingSocket.h"
#include "platform/PollInterrupter.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

using namespace kestrel::call;
using kestrel::call::test::FullBacklogListener;
using kestrel::call::test::PollCalls;
using kestrel::call::test::ProbedThread;
using namespace std::chrono_literals;

namespace {

// These tests use 127.0.2.x; every test its own address.
sockaddr_in Loopback(const char *text, uint16_t port)
{
    in_addr address{};
    ::inet_pton(AF_INET, text, &address);
    return MakeAddress(address.s_addr, port);
}

std::string Message(const CBlockingSocketException &error)
{
    std::string text;
    error.GetErrorMessage(text);
    return text;
}

// A connected pair: `client` dialled `server`'s listener; `accepted` is the
// server's end.
struct ConnectedPair {
    explicit ConnectedPair(const char *address)
    {
        const sockaddr_in where = Loopback(address, 6051);
        listener.Create();
        listener.ReuseAddress();
        listener.Bind(where);
        listener.Listen();
        client.Create();
        client.Connect(where);
        EXPECT_TRUE(listener.Accept(accepted, nullptr));
    }
    CBlockingSocket listener, client, accepted;
};

} // namespace

TEST(BlockingSocket, CloseOnEmptyOrClosedSocketIsHarmless)
{
    CBlockingSocket socket;
    EXPECT_EQ(socket.handle(), 0);
    EXPECT_EQ(socket.Close(), 0);
    socket.Create();
    EXPECT_NE(socket.handle(), 0);
    EXPECT_EQ(socket.Close(), 0);
    EXPECT_EQ(socket.handle(), 0);
    EXPECT_EQ(socket.Close(), 0);
}

TEST(BlockingSocket, ReceiveReportsEndOfStreamResetAndShortReadsAsCounts)
{
    {
        ConnectedPair pair("127.0.2.1");
        const char hello[] = "hello";
        pair.client.Write(hello, 5, 1);
        char buffer[12];
        EXPECT_EQ(pair.accepted.Receive(buffer, sizeof buffer, 1), 5) << "fewer bytes waiting than asked for";
        pair.client.Close();
        EXPECT_EQ(pair.accepted.Receive(buffer, sizeof buffer, 1), 0) << "orderly close";
    }
    {
        ConnectedPair pair("127.0.2.2");
        linger abort{1, 0}; // close with RST
        ::setsockopt(pair.client.handle(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        pair.client.Close();
        char buffer[12];
        EXPECT_EQ(pair.accepted.Receive(buffer, sizeof buffer, 1), -1) << "reset connection";
    }
}

TEST(BlockingSocket, TimeoutsCarryNoErrorAndTheShortMessage)
{
    ConnectedPair pair("127.0.2.3");
    char buffer[12];
    try {
        pair.accepted.Receive(buffer, sizeof buffer, 0);
        FAIL() << "nothing was sent, the receive must time out";
    } catch (const CBlockingSocketException &error) {
        EXPECT_EQ(error.error, 0);
        EXPECT_EQ(Message(error), "Receive timeout error");
    }

    int small = 4096;
    ::setsockopt(pair.client.handle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    std::vector<char> block(65536, 'x');
    try {
        for (int i = 0; i < 10000; ++i)
            pair.client.Send(block.data(), static_cast<int>(block.size()), 0);
        FAIL() << "the peer reads nothing, the send buffer must fill up";
    } catch (const CBlockingSocketException &error) {
        EXPECT_EQ(Message(error), "Send timeout error");
    }
}

TEST(BlockingSocket, UnlimitedWaitNeverTimesOut)
{
    ConnectedPair pair("127.0.2.4");
    int received = 0;
    ProbedThread receiving([&] {
        char buffer[4];
        received = pair.accepted.Receive(buffer, sizeof buffer, -1);
    });
    ASSERT_TRUE(receiving.WaitUntilBlockedIn(PollCalls()));
    EXPECT_FALSE(receiving.WaitForEnd(200ms)) << "still waiting, no time-out";
    pair.client.Write("abcd", 4, -1);
    ASSERT_TRUE(receiving.WaitForEnd(2s));
    EXPECT_EQ(received, 4);
}

TEST(BlockingSocket, UnresolvableNameGivesTheLongMessage)
{
    // A label longer than 63 characters cannot be put into a DNS query, so
    // this fails without any traffic leaving the machine.
    const std::string name = std::string(70, 'k') + ".invalid";
    try {
        CBlockingSocket::GetHostByName(name.c_str(), 0);
        FAIL() << "the name must not resolve";
    } catch (const CBlockingSocketException &error) {
        EXPECT_NE(error.error, 0);
        EXPECT_EQ(Message(error), "GetHostByName error #" + std::to_string(error.error));
    }
    const sockaddr_in local = CBlockingSocket::GetHostByName("127.0.2.5", 6050);
    EXPECT_EQ(ntohs(local.sin_port), 6050);
    EXPECT_EQ(local.sin_addr.s_addr, Loopback("127.0.2.5", 0).sin_addr.s_addr);
}

TEST(BlockingSocket, MessageBufferIsCutAndTerminated)
{
    CBlockingSocketException error("Connect", 111);
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_TRUE(error.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "Connect");
    char roomy[64];
    error.GetErrorMessage(roomy, sizeof roomy);
    EXPECT_STREQ(roomy, "Connect error #111");
}

TEST(BlockingSocket, CloseFromAnotherThreadInterruptsAcceptWithoutException)
{
    CBlockingSocket listener;
    listener.Create();
    listener.Bind(Loopback("127.0.2.6", 6051));
    listener.Listen();
    bool accepted = true;
    ProbedThread accepting([&] {
        CBlockingSocket connection;
        accepted = listener.Accept(connection, nullptr);
    });
    ASSERT_TRUE(accepting.WaitUntilBlockedIn({SYS_accept4, SYS_accept})) << "accept must block";
    listener.Close();
    ASSERT_TRUE(accepting.WaitForEnd(2s)) << "Close must wake the blocked accept";
    EXPECT_FALSE(accepted);

    CBlockingSocket connection;
    EXPECT_THROW(listener.Accept(connection, nullptr), CBlockingSocketException)
        << "accept on a socket that is already closed";
}

TEST(BlockingSocket, CloseFromAnotherThreadEndsABlockedReceive)
{
    ConnectedPair pair("127.0.2.7");
    int received = 1;
    ProbedThread receiving([&] {
        char buffer[4];
        received = pair.client.Receive(buffer, sizeof buffer, -1);
    });
    ASSERT_TRUE(receiving.WaitUntilBlockedIn(PollCalls())) << "the receive must wait";
    pair.client.Close();
    ASSERT_TRUE(receiving.WaitForEnd(2s));
    EXPECT_LE(received, 0);
    char buffer[4];
    EXPECT_EQ(pair.accepted.Receive(buffer, sizeof buffer, 1), 0) << "the peer sees the connection end";
}

TEST(BlockingSocket, ConnectToAPeerThatNeverAnswersGivesUpAtItsLimit)
{
    FullBacklogListener silent("127.0.2.9", 6051);
    ASSERT_TRUE(silent.Full());
    CBlockingSocket dialler;
    dialler.Create();
    const auto begin = std::chrono::steady_clock::now();
    try {
        dialler.Connect(Loopback("127.0.2.9", 6051), 300ms, {});
        FAIL() << "the SYN is never answered";
    } catch (const CBlockingSocketException &error) {
        EXPECT_STREQ(error.operation, "Connect");
        EXPECT_EQ(error.error, ETIMEDOUT);
    }
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 2s);
}

TEST(BlockingSocket, WaitsEndWhenTheirWakeUpFires)
{
    FullBacklogListener silent("127.0.2.10", 6051);
    ASSERT_TRUE(silent.Full());
    kestrel::platform::PollInterrupter wake;
    const int wakeFds[] = {wake.Descriptor()};
    CBlockingSocket dialler;
    dialler.Create();
    int error = 0;
    ProbedThread connecting([&] {
        try {
            dialler.Connect(Loopback("127.0.2.10", 6051), -1ms, wakeFds);
        } catch (const CBlockingSocketException &failure) {
            error = failure.error;
        }
    });
    ASSERT_TRUE(connecting.WaitUntilBlockedIn(PollCalls()));
    wake.Interrupt();
    ASSERT_TRUE(connecting.WaitForEnd(100ms));
    EXPECT_EQ(error, ECANCELED);

    ConnectedPair pair("127.0.2.11");
    EXPECT_EQ(pair.accepted.WaitReady(POLLIN, -1ms, wakeFds), CBlockingSocket::Readiness::Woken)
        << "the wake-up is still pending";
    wake.Clear();
    EXPECT_EQ(pair.accepted.WaitReady(POLLIN, 10ms, wakeFds), CBlockingSocket::Readiness::TimedOut);
    pair.client.Write("x", 1, 1);
    EXPECT_EQ(pair.accepted.WaitReady(POLLIN, -1ms, wakeFds), CBlockingSocket::Readiness::Ready);
    pair.client.Close();
    char byte;
    EXPECT_EQ(pair.accepted.ReceiveWithoutWaiting(&byte, 1), 1);
    EXPECT_EQ(pair.accepted.WaitReady(POLLRDHUP, -1ms, wakeFds), CBlockingSocket::Readiness::Ready)
        << "the peer's leaving ends a wait for it";
    EXPECT_EQ(pair.accepted.ReceiveWithoutWaiting(&byte, 1), 0);
}

TEST(BlockingSocket, SocketIsNeverNumberedZero)
{
    // With standard input closed the kernel hands out descriptor 0, which
    // would read as "no socket".
    int savedInput = ::fcntl(0, F_DUPFD_CLOEXEC, 100);
    ASSERT_GE(savedInput, 0);
    ::close(0);
    CBlockingSocket socket;
    socket.Create();
    const int handle = socket.handle();
    ::dup2(savedInput, 0);
    ::close(savedInput);
    EXPECT_GT(handle, 0);
    EXPECT_TRUE(socket.IsOpen());
}

TEST(BlockingSocket, FailuresNameTheirOperation)
{
    CBlockingSocket first, second;
    const sockaddr_in where = Loopback("127.0.2.8", 6051);
    first.Create();
    first.Bind(where);
    first.Listen();
    second.Create();
    try {
        second.Bind(where);
        FAIL() << "the address is taken";
    } catch (const CBlockingSocketException &error) {
        EXPECT_STREQ(error.operation, "Bind");
        EXPECT_EQ(error.error, EADDRINUSE);
    }
    CBlockingSocket dialler;
    dialler.Create();
    try {
        dialler.Connect(Loopback("127.0.2.8", 6053)); // nobody listens there
        FAIL() << "the connection must be refused";
    } catch (const CBlockingSocketException &error) {
        EXPECT_STREQ(error.operation, "Connect");
        EXPECT_EQ(error.error, ECONNREFUSED);
    }
}
