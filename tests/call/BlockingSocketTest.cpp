#include "call/BlockingSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

using namespace kestrel::call;
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

// A Receive of up to 4 bytes with no time limit, on another thread.
std::future<int> ReceiveWithoutLimit(CBlockingSocket &socket)
{
    return std::async(std::launch::async, [&socket] {
        char buffer[4];
        return socket.Receive(buffer, sizeof buffer, -1);
    });
}

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
    auto receiving = ReceiveWithoutLimit(pair.accepted);
    EXPECT_EQ(receiving.wait_for(200ms), std::future_status::timeout);
    pair.client.Write("abcd", 4, -1);
    EXPECT_EQ(receiving.get(), 4);
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
    auto accepting = std::async(std::launch::async, [&] {
        CBlockingSocket connection;
        return listener.Accept(connection, nullptr);
    });
    EXPECT_EQ(accepting.wait_for(100ms), std::future_status::timeout) << "accept must block";
    listener.Close();
    ASSERT_EQ(accepting.wait_for(2s), std::future_status::ready) << "Close must wake the blocked accept";
    EXPECT_FALSE(accepting.get());

    CBlockingSocket connection;
    EXPECT_THROW(listener.Accept(connection, nullptr), CBlockingSocketException)
        << "accept on a socket that is already closed";
}

TEST(BlockingSocket, CloseFromAnotherThreadEndsABlockedReceive)
{
    ConnectedPair pair("127.0.2.7");
    auto receiving = ReceiveWithoutLimit(pair.client);
    EXPECT_EQ(receiving.wait_for(100ms), std::future_status::timeout);
    pair.client.Close();
    ASSERT_EQ(receiving.wait_for(2s), std::future_status::ready);
    EXPECT_LE(receiving.get(), 0);
    char buffer[4];
    EXPECT_EQ(pair.accepted.Receive(buffer, sizeof buffer, 1), 0) << "the peer sees the connection end";
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
