#include "filters/RtpFrameAssembler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

using kestrel::filters::CRtpFrameAssembler;
using kestrel::filters::RtpPacketView;
using TakeResult = CRtpFrameAssembler::TakeResult;
using namespace std::chrono_literals;

namespace {

std::vector<uint8_t> Bytes(std::size_t length, uint8_t value)
{
    return std::vector<uint8_t>(length, value);
}

// Feeds packets as a sender numbers them: consecutive sequence numbers from
// `first`, one SSRC.
class Sender {
public:
    explicit Sender(CRtpFrameAssembler &assembler, uint16_t first = 100, uint32_t ssrc = 0x1234)
        : assembler(assembler), next(first), ssrc(ssrc)
    {
    }
    // Sends the packet with sequence number `sequence`.
    bool At(uint16_t sequence, const std::vector<uint8_t> &payload, bool marker, uint32_t timestamp = 7)
    {
        RtpPacketView packet;
        packet.sequence = sequence;
        packet.ssrc = ssrc;
        packet.marker = marker;
        packet.timestamp = timestamp;
        packet.payload = payload;
        return assembler.AddPacket(packet);
    }
    // Sends the next packet in order.
    bool Next(const std::vector<uint8_t> &payload, bool marker, uint32_t timestamp = 7)
    {
        return At(next++, payload, marker, timestamp);
    }
    uint16_t Skip() { return next++; } // a packet the network loses

    CRtpFrameAssembler &assembler;
    uint16_t next;
    uint32_t ssrc;
};

struct Taken {
    TakeResult result;
    std::vector<uint8_t> bytes;
    CRtpFrameAssembler::Frame frame;
};

Taken TakeInto(CRtpFrameAssembler &assembler, std::size_t capacity = 20000)
{
    std::vector<uint8_t> buffer(capacity);
    Taken taken{};
    taken.result = assembler.Take(buffer, taken.frame);
    if (taken.result == TakeResult::Taken)
        taken.bytes.assign(buffer.begin(), buffer.begin() + taken.frame.length);
    return taken;
}

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST(RtpFrameAssembler, SampleWithALostPacketIsDroppedNotSplicedAndTheNextIsMarkedDiscontinuous)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(100, 1), false);
    sender.Skip(); // the middle of the sample is lost
    sender.Next(Bytes(100, 3), true);
    sender.Next(Bytes(50, 4), true);
    assembler.ExpireWaiting(); // the missing packet does not come
    const Taken taken = TakeInto(assembler);
    ASSERT_EQ(taken.result, TakeResult::Taken);
    EXPECT_EQ(taken.bytes, Bytes(50, 4)) << "no part of the damaged sample may reach the decoder";
    EXPECT_TRUE(taken.frame.discontinuity);
    EXPECT_EQ(TakeInto(assembler).result, TakeResult::Empty);
}

TEST(RtpFrameAssembler, LostMarkerDropsBothSamplesItWouldHaveJoined)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(100, 1), false);
    sender.Skip(); // the marker packet of the first sample
    sender.Next(Bytes(100, 2), false);
    sender.Next(Bytes(100, 2), true);
    sender.Next(Bytes(30, 3), true);
    assembler.ExpireWaiting();
    const Taken taken = TakeInto(assembler);
    ASSERT_EQ(taken.result, TakeResult::Taken);
    EXPECT_EQ(taken.bytes, Bytes(30, 3));
    EXPECT_TRUE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, PacketsSwappedOnTheWayAreRebuiltInOrder)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    const auto a = Bytes(1400, 1), b = Bytes(1400, 2), c = Bytes(200, 3);
    EXPECT_FALSE(sender.At(100, a, false));
    EXPECT_FALSE(sender.At(102, c, true));
    EXPECT_TRUE(sender.At(101, b, false)) << "the late packet completes the sample";
    const Taken taken = TakeInto(assembler);
    ASSERT_EQ(taken.result, TakeResult::Taken);
    EXPECT_EQ(taken.bytes, Joined({a, b, c}));
    EXPECT_FALSE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, HoleIsGivenUpOnceAWholeSampleWaitsBehindIt)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(10, 1), true);
    ASSERT_EQ(TakeInto(assembler).bytes, Bytes(10, 1));
    sender.Skip();
    // The packet after the hole might be the rest of the lost sample; the
    // one-packet sample after its marker is whole, and goes out at once.
    EXPECT_FALSE(sender.Next(Bytes(10, 2), true));
    EXPECT_TRUE(sender.Next(Bytes(10, 3), true));
    const Taken taken = TakeInto(assembler);
    EXPECT_EQ(taken.bytes, Bytes(10, 3));
    EXPECT_TRUE(taken.frame.discontinuity);
    EXPECT_EQ(TakeInto(assembler).result, TakeResult::Empty);
}

TEST(RtpFrameAssembler, HoleIsGivenUpWhenTheWindowFillsOrTheStreamGoesQuiet)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(10, 1), true);
    ASSERT_EQ(TakeInto(assembler).bytes, Bytes(10, 1));
    sender.Skip();
    // A long sample behind the hole: nothing whole waits, but the window fills.
    for (std::size_t i = 0; i + 1 < CRtpFrameAssembler::kReorderSlots; ++i)
        sender.Next(Bytes(100, 1), false);
    sender.Next(Bytes(100, 1), true); // its marker: all of it belonged to the damaged sample
    EXPECT_TRUE(sender.Next(Bytes(10, 2), true)) << "the full window gave up the hole";
    Taken taken = TakeInto(assembler);
    EXPECT_EQ(taken.bytes, Bytes(10, 2));
    EXPECT_TRUE(taken.frame.discontinuity);

    CRtpFrameAssembler quiet;
    Sender later(quiet);
    later.Next(Bytes(10, 1), true);
    later.Skip();
    later.Next(Bytes(10, 2), false);
    later.Next(Bytes(10, 2), true);
    EXPECT_EQ(quiet.QueuedCount(), 1u) << "packets wait while the hole may still be filled";
    quiet.ExpireWaiting();
    later.Next(Bytes(10, 3), true);
    EXPECT_EQ(TakeInto(quiet).bytes, Bytes(10, 1));
    taken = TakeInto(quiet);
    EXPECT_EQ(taken.bytes, Bytes(10, 3)) << "what waited behind the hole was the damaged sample's";
    EXPECT_TRUE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, DuplicateAndLatePacketsChangeNothing)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.At(100, Bytes(10, 1), false);
    sender.At(100, Bytes(10, 9), false); // duplicate
    sender.At(102, Bytes(10, 3), true);
    sender.At(102, Bytes(10, 9), true); // duplicate while waiting
    EXPECT_TRUE(sender.At(101, Bytes(10, 2), false));
    sender.At(99, Bytes(10, 9), true); // long after its place
    EXPECT_EQ(TakeInto(assembler).bytes, Joined({Bytes(10, 1), Bytes(10, 2), Bytes(10, 3)}));
    EXPECT_EQ(TakeInto(assembler).result, TakeResult::Empty);
}

TEST(RtpFrameAssembler, OversizeSampleIsDroppedUpToItsMarkerAndTheNextSampleIsWhole)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    // 7 x 1400 = 9800 bytes; the eighth packet would reach 10240, and the
    // ninth is the rest of the same sample.
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(sender.Next(Bytes(1400, 1), false));
    EXPECT_FALSE(sender.Next(Bytes(300, 1), true)) << "the tail of an oversize sample is not a sample";
    EXPECT_TRUE(sender.Next(Bytes(1400, 2), true));
    const Taken taken = TakeInto(assembler);
    EXPECT_EQ(taken.bytes, Bytes(1400, 2));
    EXPECT_TRUE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, SampleOfJustUnderTheLimitIsDeliveredWhole)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    for (int i = 0; i < 7; ++i)
        sender.Next(Bytes(1400, 1), false);
    EXPECT_TRUE(sender.Next(Bytes(439, 2), true)); // 10239 bytes
    const Taken taken = TakeInto(assembler, 10239);
    EXPECT_EQ(taken.bytes.size(), 10239u);
    EXPECT_FALSE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, NewSenderStartsAFreshStreamAndEmptySamplesLeaveNoHole)
{
    CRtpFrameAssembler assembler;
    Sender first(assembler, 100, 0x1111);
    first.Next(Bytes(10, 1), false); // left unfinished
    Sender second(assembler, 40000, 0x2222);
    EXPECT_FALSE(second.Next({}, true)) << "an empty sample is not handed on";
    EXPECT_TRUE(second.Next(Bytes(20, 2), true));
    const Taken taken = TakeInto(assembler);
    EXPECT_EQ(taken.bytes, Bytes(20, 2));
    EXPECT_TRUE(taken.frame.discontinuity) << "the first sender's unfinished sample was dropped";
    // The same sender starting over far from where it was.
    Sender restarted(assembler, 7, 0x2222);
    EXPECT_TRUE(restarted.Next(Bytes(5, 3), true));
    EXPECT_EQ(TakeInto(assembler).bytes, Bytes(5, 3));
}

TEST(RtpFrameAssembler, ThirdSampleEvictsTheOldestOfTwoAndTheReaderHearsOfIt)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    for (uint8_t i = 1; i <= 3; ++i)
        sender.Next(Bytes(10, i), true);
    EXPECT_EQ(assembler.QueuedCount(), 2u);
    Taken taken = TakeInto(assembler, 100);
    EXPECT_EQ(taken.bytes, Bytes(10, 2));
    EXPECT_TRUE(taken.frame.discontinuity);
    taken = TakeInto(assembler, 100);
    EXPECT_EQ(taken.bytes, Bytes(10, 3));
    EXPECT_FALSE(taken.frame.discontinuity);
    EXPECT_EQ(TakeInto(assembler, 100).result, TakeResult::Empty);
}

TEST(RtpFrameAssembler, TooSmallBufferDropsThatSampleAndTheNextCallSeesTheFollowing)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(1400, 1), false);
    sender.Next(Bytes(200, 1), true);
    sender.Next(Bytes(32, 2), true);
    EXPECT_EQ(TakeInto(assembler, 1500).result, TakeResult::TooLarge);
    const Taken next = TakeInto(assembler, 1500);
    ASSERT_EQ(next.result, TakeResult::Taken);
    EXPECT_EQ(next.bytes, Bytes(32, 2));
    EXPECT_TRUE(next.frame.discontinuity);
}

TEST(RtpFrameAssembler, ResetForgetsPartialWaitingAndQueuedSamples)
{
    CRtpFrameAssembler assembler;
    Sender sender(assembler);
    sender.Next(Bytes(10, 1), true);
    sender.Next(Bytes(10, 2), false);
    sender.At(sender.next + 1, Bytes(10, 2), true);
    assembler.Reset();
    EXPECT_EQ(TakeInto(assembler, 100).result, TakeResult::Empty);
    Sender again(assembler, 500);
    again.Next(Bytes(5, 3), true);
    const Taken taken = TakeInto(assembler, 100);
    EXPECT_EQ(taken.bytes, Bytes(5, 3));
    EXPECT_FALSE(taken.frame.discontinuity);
}

TEST(RtpFrameAssembler, ReleaseWakesAWaitingReaderAndAQueuedSampleWakesItToo)
{
    CRtpFrameAssembler assembler;
    // The waiter's own limit is far beyond the test's: only the release can
    // end the wait in time.
    auto waiter = std::async(std::launch::async, [&] { return assembler.WaitForFrame(30s); });
    assembler.Release();
    ASSERT_EQ(waiter.wait_for(5s), std::future_status::ready) << "Release did not wake the reader";
    EXPECT_FALSE(waiter.get());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(assembler.WaitForFrame(30s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s) << "after Release no wait blocks";

    assembler.Rearm();
    auto reader = std::async(std::launch::async, [&] { return assembler.WaitForFrame(30s); });
    Sender sender(assembler);
    sender.Next(Bytes(1, 1), true);
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready) << "a queued sample did not wake the reader";
    EXPECT_TRUE(reader.get());
}
