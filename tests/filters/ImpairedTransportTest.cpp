// The RTP transport across a lossy, jittery, reordering, duplicating path
// (an ImpairedRelay on loopback), and under a flood.
#include "ImpairedRelay.h"
#include "UdpFlooder.h"
#include "UdpProbe.h"
#include "filters/RtpChannel.h"
#include "filters/RtpReceiver.h"
#include "platform/UniqueFd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <random>
#include <string>
#include <sys/timerfd.h>
#include <poll.h>
#include <thread>
#include <vector>

using namespace kestrel::filters;
using kestrel::testing::ImpairedRelay;
using kestrel::testing::Impairment;
using kestrel::testing::ResidentKiB;
using namespace std::chrono_literals;

namespace {

// Ticks at a fixed rate, as a camera delivers frames; the sender of a test
// runs on it.
class FrameClock {
public:
    explicit FrameClock(std::chrono::milliseconds period) : timer(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC))
    {
        itimerspec ticks{};
        ticks.it_interval.tv_nsec = static_cast<long>(std::chrono::nanoseconds(period).count());
        ticks.it_value = ticks.it_interval;
        timerfd_settime(timer.Get(), 0, &ticks, nullptr);
    }
    bool WaitForTick()
    {
        pollfd tick{timer.Get(), POLLIN, 0};
        uint64_t expirations = 0;
        return poll(&tick, 1, 5000) == 1 && read(timer.Get(), &expirations, sizeof expirations) > 0;
    }

private:
    kestrel::platform::UniqueFd timer;
};

// Sample `index` of a run: its index in the first four bytes, then bytes no
// other sample has at those places, 100 to 6100 bytes (one to five packets).
std::vector<uint8_t> SampleOf(uint32_t index)
{
    std::mt19937 random(index * 7919u + 1);
    std::vector<uint8_t> bytes(100 + random() % 6000);
    std::memcpy(bytes.data(), &index, sizeof index);
    for (std::size_t i = sizeof index; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(random());
    return bytes;
}

// A one-packet sample sent until one arrives: a receiver that joins a stream
// cannot tell a sample's first packet from a later one, so the run starts
// once the receiver has seen a whole sample.
constexpr uint32_t kWarmUpIndex = 0xFFFFFFFF;
const std::vector<uint8_t> kWarmUp = {0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};

std::size_t PacketsOf(std::size_t sampleBytes)
{
    return sampleBytes == 0 ? 1 : (sampleBytes + 1399) / 1400;
}

struct RunResult {
    std::size_t allowed = 0;   // samples none of whose packets the path lost
    std::size_t delivered = 0;
    std::vector<std::string> faults;
    ImpairedRelay::Stats relay;
};

// Sends `samples` samples at 20 a second from 127.1.4.<b+1> through a relay
// (listening on .<b+2>, sending from .<b+3>) to a receiver on .<b+4> that
// takes media only from the relay, and checks every sample the receiver
// hands out.
RunResult RunThroughRelay(uint32_t seed, int base, uint32_t samples)
{
    const auto address = [base](int host) { return "127.1.4." + std::to_string(base + host); };
    Impairment impairment;
    impairment.lossRate = 0.02;
    impairment.delay = 100ms;
    impairment.jitter = 20ms;
    impairment.reorderRate = 0.25;
    impairment.duplicateRate = 0.05;
    impairment.seed = seed;
    RunResult result;
    CRtpReceiver receiver;
    if (!receiver.Start(6060, address(4), address(3))) {
        result.faults.push_back("receiver did not start");
        return result;
    }
    ImpairedRelay relay({address(2), 6060}, {address(3), 6080}, {address(4), 6060}, impairment);
    CRtpChannel sender;
    if (!relay.IsReady() || !sender.Open(address(2), 6060, 6080, address(1))) {
        result.faults.push_back("relay or sender did not start");
        return result;
    }

    std::atomic<bool> sending{true};
    std::atomic<bool> warmedUp{false};
    std::map<uint32_t, int> seen;
    std::thread reader([&] {
        std::vector<uint8_t> buffer(25344);
        for (;;) {
            const bool done = !sending;
            if (!receiver.WaitForFrame(200ms) && done)
                return;
            int length = 0;
            uint32_t timestamp = 0;
            if (!receiver.GetFrame(buffer, length, timestamp))
                continue;
            ++result.delivered;
            uint32_t index = 0;
            if (length >= 4)
                std::memcpy(&index, buffer.data(), sizeof index);
            const std::vector<uint8_t> got(buffer.begin(), buffer.begin() + length);
            if (index == kWarmUpIndex && got == kWarmUp) {
                --result.delivered;
                warmedUp = true;
                continue;
            }
            if (index >= samples || got != SampleOf(index))
                result.faults.push_back("sample " + std::to_string(index) + " (" + std::to_string(length) +
                                        " bytes) is not a sample that was sent");
            else if (++seen[index] > 1)
                result.faults.push_back("sample " + std::to_string(index) + " delivered twice");
        }
    });
    FrameClock clock(50ms);
    std::size_t warmUps = 0;
    while (!warmedUp && warmUps < 40 && clock.WaitForTick() && sender.SendSample(kWarmUp, 0))
        ++warmUps;
    if (!warmedUp)
        result.faults.push_back("no warm-up sample got through");
    const std::size_t warmUpsSent = warmUps;
    for (uint32_t i = 0; i < samples; ++i) {
        if (!clock.WaitForTick() || !sender.SendSample(SampleOf(i), i))
            result.faults.push_back("could not send sample " + std::to_string(i));
    }
    if (!relay.WaitUntilIdle(5s))
        result.faults.push_back("the relay still holds datagrams");
    sending = false;
    reader.join();

    // The relay saw the packets in the order they were sent.
    const std::vector<bool> forwarded = relay.Forwarded();
    std::size_t packet = warmUpsSent;
    for (uint32_t i = 0; i < samples; ++i) {
        bool whole = true;
        for (std::size_t p = 0; p < PacketsOf(SampleOf(i).size()); ++p, ++packet)
            whole = whole && packet < forwarded.size() && forwarded[packet];
        result.allowed += whole ? 1 : 0;
    }
    if (packet != forwarded.size())
        result.faults.push_back("the relay saw " + std::to_string(forwarded.size()) + " datagrams, not " +
                                std::to_string(packet));
    result.relay = relay.Counters();
    return result;
}

} // namespace

TEST(ImpairedTransport, EverySampleDeliveredThroughLossJitterReorderingAndDuplicatesIsWholeAndExact)
{
    constexpr uint32_t kSamples = 100;
    // Three seeds at once, each on its own addresses.
    std::vector<std::future<RunResult>> runs;
    for (uint32_t seed : {1u, 2u, 3u})
        runs.push_back(std::async(std::launch::async, RunThroughRelay, seed, static_cast<int>(seed * 10), kSamples));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunResult result = runs[i].get();
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        for (const std::string &fault : result.faults)
            ADD_FAILURE() << fault;
        EXPECT_GT(result.relay.dropped, 0u);
        EXPECT_GT(result.relay.reordered, 0u);
        EXPECT_GT(result.relay.duplicated, 0u);
        std::printf("seed %zu: %zu of %u samples delivered, %zu whole after the loss; relay: %llu received, "
                    "%llu dropped, %llu reordered, %llu duplicated\n",
                    i + 1, result.delivered, kSamples, result.allowed,
                    static_cast<unsigned long long>(result.relay.received),
                    static_cast<unsigned long long>(result.relay.dropped),
                    static_cast<unsigned long long>(result.relay.reordered),
                    static_cast<unsigned long long>(result.relay.duplicated));
        EXPECT_GE(static_cast<double>(result.delivered), 0.9 * static_cast<double>(result.allowed))
            << result.delivered << " delivered of " << result.allowed << " the loss allowed";
    }
}


TEST(ImpairedTransport, FloodOfTheVideoPortCostsNoMemoryAndDeliveryResumesWithinASecond)
{
    CRtpReceiver receiver;
    ASSERT_TRUE(receiver.Start(6060, "127.1.4.50", "127.1.4.51"));
    CRtpChannel peer;
    ASSERT_TRUE(peer.Open("127.1.4.50", 6060, 6080, "127.1.4.51"));
    ASSERT_TRUE(peer.SendSample(SampleOf(1), 1));
    ASSERT_TRUE(receiver.WaitForFrame(5s));
    const std::size_t residentBefore = ResidentKiB();

    // 100,000 datagrams a second for a second, from a stranger and from the
    // peer's own address (a spoofed source), junk and RTP alike.
    kestrel::testing::UdpFlooder stranger("127.1.4.52", "127.1.4.50", 6060, 50000);
    kestrel::testing::UdpFlooder spoofed("127.1.4.51", "127.1.4.50", 6060, 50000);
    ASSERT_TRUE(stranger.Start() && spoofed.Start());
    FrameClock clock(50ms);
    for (int tick = 0; tick < 20; ++tick)
        ASSERT_TRUE(clock.WaitForTick());
    stranger.Stop();
    spoofed.Stop();
    const uint64_t flooded = stranger.Sent() + spoofed.Sent();
    EXPECT_GT(flooded, 50000u) << "the flood was not a flood";

    // Whatever got through the flood is taken away; then the peer's next
    // sample must come out within a second.
    std::vector<uint8_t> buffer(25344);
    int length = 0;
    uint32_t timestamp = 0;
    while (receiver.GetFrame(buffer, length, timestamp)) {
    }
    const auto stopped = std::chrono::steady_clock::now();
    const auto sample = SampleOf(2);
    bool delivered = false;
    // The peer's sequence numbers may have been spoofed past: its next
    // sample may only start a new run, so it sends until one arrives.
    while (!delivered && std::chrono::steady_clock::now() - stopped < 1s) {
        ASSERT_TRUE(peer.SendSample(sample, 2));
        if (receiver.WaitForFrame(100ms) && receiver.GetFrame(buffer, length, timestamp))
            delivered = std::vector<uint8_t>(buffer.begin(), buffer.begin() + length) == sample;
    }
    EXPECT_TRUE(delivered) << "no sample of the peer within 1 s of the flood's end";
    EXPECT_GT(receiver.ForeignPackets(), 0u);
    EXPECT_LT(ResidentKiB(), residentBefore + 16 * 1024) << "the flood cost memory";
}
