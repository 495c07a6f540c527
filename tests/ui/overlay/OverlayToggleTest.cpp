#include "ui/overlay/OverlayToggle.h"

#include "platform/UniqueFd.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace kestrel::ui::overlay {
namespace {

using namespace std::chrono_literals;

constexpr int kDeadlineMs = 5000;

struct ToggleSocket : ::testing::Test {
    ToggleSocket() : directory(root.path().toStdString() + "/kestrel")
    {
        ::mkdir(directory.c_str(), 0700);
    }

    // Asks on a thread of its own while this thread serves, as two programs would.
    ToggleReply Ask(const std::optional<std::string> &bind)
    {
        std::atomic<bool> done{false};
        ToggleReply reply;
        std::jthread client([&] {
            reply = RequestOverlayToggle(directory, bind, 2000ms);
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, kDeadlineMs));
        client.join();
        return reply;
    }

    std::unique_ptr<COverlayToggleServer> Serve(const std::string &bind, int &toggles, const std::string &answer)
    {
        auto server = std::make_unique<COverlayToggleServer>([&toggles, answer] {
            ++toggles;
            return answer;
        });
        EXPECT_TRUE(server->Listen(directory, bind));
        return server;
    }

    QTemporaryDir root;
    std::string directory;
};

TEST_F(ToggleSocket, TheProgramOnTheGivenAddressTogglesAndAnswers)
{
    int togglesA = 0;
    int togglesB = 0;
    auto a = Serve("127.0.13.2", togglesA, "hidden");
    auto b = Serve("127.0.13.3", togglesB, "shown");
    const ToggleReply reply = Ask("127.0.13.3");
    EXPECT_EQ(reply.status, ToggleReply::Status::Answered);
    EXPECT_EQ(reply.answer, "shown");
    EXPECT_EQ(togglesA, 0);
    EXPECT_EQ(togglesB, 1);
    EXPECT_EQ(Ask("127.0.13.2").answer, "hidden");
    EXPECT_EQ(togglesA, 1);
}

TEST_F(ToggleSocket, WithoutAnAddressTheOnlyProgramIsAskedAndSeveralAreNamed)
{
    int togglesA = 0;
    int togglesB = 0;
    auto a = Serve("127.0.13.2", togglesA, "hidden");
    EXPECT_EQ(Ask(std::nullopt).status, ToggleReply::Status::Answered);
    EXPECT_EQ(togglesA, 1);
    auto b = Serve("127.0.13.3", togglesB, "shown");
    const ToggleReply several = Ask(std::nullopt);
    EXPECT_EQ(several.status, ToggleReply::Status::SeveralInstances);
    std::vector<std::string> addresses = several.addresses;
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(addresses, (std::vector<std::string>{"127.0.13.2", "127.0.13.3"}));
    EXPECT_EQ(togglesA + togglesB, 1); // nobody toggled on the ambiguous request
}

TEST_F(ToggleSocket, NoProgramAndASocketLeftByAnEndedProgramAreNoInstance)
{
    EXPECT_EQ(Ask(std::nullopt).status, ToggleReply::Status::NoInstance);
    int toggles = 0;
    Serve("127.0.13.2", toggles, "shown").reset(); // a program that ended cleanly
    EXPECT_EQ(Ask("127.0.13.2").status, ToggleReply::Status::NoInstance);

    // One that crashed leaves its socket file; nobody listens on it.
    const std::string path = ToggleSocketPath(directory, "127.0.13.4");
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        platform::UniqueFd dead(::socket(AF_UNIX, SOCK_STREAM, 0));
        ASSERT_EQ(::bind(dead.Get(), reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    }
    struct stat info{};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(Ask(std::nullopt).status, ToggleReply::Status::NoInstance);
    // The next program on that address takes the place over.
    auto next = Serve("127.0.13.4", toggles, "shown");
    EXPECT_EQ(Ask("127.0.13.4").status, ToggleReply::Status::Answered);
    EXPECT_EQ(toggles, 1);
}

TEST_F(ToggleSocket, ASecondProgramOnTheSameAddressLeavesTheFirstAnswering)
{
    int first = 0;
    int second = 0;
    auto a = Serve("127.0.13.2", first, "shown");
    COverlayToggleServer b([&second] {
        ++second;
        return std::string("hidden");
    });
    EXPECT_FALSE(b.Listen(directory, "127.0.13.2"));
    EXPECT_EQ(Ask("127.0.13.2").answer, "shown");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0);
}

TEST_F(ToggleSocket, AnOverlongRequestIsDroppedWithoutToggling)
{
    int toggles = 0;
    auto server = Serve("127.0.13.2", toggles, "shown");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, ToggleSocketPath(directory, "127.0.13.2").c_str());
    platform::UniqueFd client(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
    ASSERT_EQ(::connect(client.Get(), reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    const std::string garbage(200, 'x');
    ASSERT_EQ(::send(client.Get(), garbage.data(), garbage.size(), MSG_NOSIGNAL), 200);
    // The server closes the connection: end of stream, no answer.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            char byte;
            return ::recv(client.Get(), &byte, 1, 0) == 0;
        },
        kDeadlineMs));
    EXPECT_EQ(toggles, 0);
}

TEST_F(ToggleSocket, TheCommandExitsOneWithoutAProgramAndZeroWhenAnswered)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", root.path().toUtf8());
    EXPECT_EQ(ToggleSocketDirectory(false), directory);
    EXPECT_EQ(RunToggleOverlay(std::nullopt), 1);
    int toggles = 0;
    auto server = Serve("127.0.13.2", toggles, "hidden");
    std::atomic<int> code{-1};
    std::jthread command([&] { code = RunToggleOverlay(std::string("127.0.13.2")); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return code.load() != -1; }, kDeadlineMs));
    command.join();
    EXPECT_EQ(code.load(), 0);
    EXPECT_EQ(toggles, 1);
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(ToggleSocket, TheSocketFolderIsPrivate)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir fresh;
    qputenv("XDG_RUNTIME_DIR", fresh.path().toUtf8());
    const std::string made = ToggleSocketDirectory(true);
    EXPECT_EQ(made, fresh.path().toStdString() + "/kestrel");
    struct stat info{};
    ASSERT_EQ(::stat(made.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A folder others may write into is not used.
    ::chmod(made.c_str(), 0777);
    EXPECT_NE(ToggleSocketDirectory(false), made);
    qputenv("XDG_RUNTIME_DIR", saved);
}

} // namespace
} // namespace kestrel::ui::overlay
