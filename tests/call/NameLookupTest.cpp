#include "call/NameLookup.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>

using namespace kestrel::call;
using namespace std::chrono_literals;

namespace {

constexpr int kSkipped = 77;

bool WriteFile(const std::string &path, const std::string &text)
{
    FILE *file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    const bool written = std::fputs(text.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}

// Child process: a network namespace of its own (loopback only, brought up)
// and a mount namespace in which /etc/resolv.conf names 127.0.0.1:53. No
// query can leave the machine.
bool IsolateNetwork(const std::string &resolvConf)
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) {
        // Not privileged: become root of a user namespace first.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0)
            return false;
        WriteFile("/proc/self/setgroups", "deny");
        if (!WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
        return false;
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
    const bool up = ::ioctl(control, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(control, SIOCSIFFLAGS, &request) == 0);
    ::close(control);
    return up;
}

// Runs `scenario` in a child process with a name server on 127.0.0.1:53
// that receives queries and answers none; the scenario gets its socket and
// returns the child's exit code (0: passed).
int WithSilentNameServer(const std::function<int(int nameServer)> &scenario)
{
    char resolvConf[] = "/tmp/kestrel-resolv-XXXXXX";
    const int file = ::mkstemp(resolvConf);
    if (file < 0)
        return kSkipped;
    ::close(file);
    WriteFile(resolvConf, "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n");
    const pid_t child = ::fork();
    if (child == 0) {
        if (!IsolateNetwork(resolvConf))
            ::_exit(kSkipped);
        const int server = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            ::_exit(kSkipped);
        ::_exit(scenario(server));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::unlink(resolvConf);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(NameLookup, CancelEndsALookUpTheNameServerNeverAnswers)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer builds look names up without cancel";
#endif
    const int outcome = WithSilentNameServer([](int nameServer) {
        std::stop_source cancel;
        std::promise<NameLookupResult> resolved;
        auto result = resolved.get_future();
        std::thread resolving([&] { resolved.set_value(LookUpIPv4("kestrel-slow-peer", cancel.get_token())); });
        pollfd query{nameServer, POLLIN, 0};
        const bool asked = ::poll(&query, 1, 5000) == 1; // the resolver waits for its answer now
        const auto begin = std::chrono::steady_clock::now();
        cancel.request_stop();
        const bool ended = result.wait_for(100ms) == std::future_status::ready;
        const auto took = std::chrono::steady_clock::now() - begin;
        resolving.join();
        if (!asked)
            return 2;
        if (!ended || took >= 100ms)
            return 3;
        const NameLookupResult found = result.get();
        return !found.address && found.error == EAI_CANCELED ? 0 : 4;
    });
    if (outcome == kSkipped)
        GTEST_SKIP() << "no network and mount namespaces here";
    EXPECT_NE(outcome, 2) << "the query never reached the test's name server";
    EXPECT_NE(outcome, 3) << "the cancelled look-up did not end within 100 ms";
    EXPECT_NE(outcome, 4) << "a cancelled look-up gave an address";
    EXPECT_EQ(outcome, 0);
}

TEST(NameLookup, NamesFromTheHostsFileAndDottedTextResolve)
{
    const NameLookupResult local = LookUpIPv4("localhost");
    ASSERT_TRUE(local.address.has_value());
    EXPECT_EQ(*local.address, htonl(INADDR_LOOPBACK));
    const NameLookupResult dotted = LookUpIPv4("127.0.6.200");
    ASSERT_TRUE(dotted.address.has_value());
    EXPECT_EQ(*dotted.address, ::inet_addr("127.0.6.200"));
    std::stop_source cancel;
    const NameLookupResult cancellable = LookUpIPv4("localhost", cancel.get_token());
    ASSERT_TRUE(cancellable.address.has_value()) << "through the asynchronous resolver";
    EXPECT_EQ(*cancellable.address, htonl(INADDR_LOOPBACK));
    EXPECT_FALSE(LookUpIPv4(std::string(70, 'n') + ".invalid", cancel.get_token()).address);
    cancel.request_stop();
    EXPECT_EQ(LookUpIPv4("localhost", cancel.get_token()).error, EAI_CANCELED);
}
