#include "filters/RtpFrameAssembler.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using kestrel::filters::CRtpFrameAssembler;
using TakeResult = CRtpFrameAssembler::TakeResult;

namespace {

std::vector<uint8_t> Bytes(std::size_t length, uint8_t value)
{
    return std::vector<uint8_t>(length, value);
}

struct Taken {
    TakeResult result;
    std::vector<uint8_t> bytes;
    uint32_t timestamp = 0;
};

Taken TakeInto(CRtpFrameAssembler &assembler, std::size_t capacity)
{
    std::vector<uint8_t> buffer(capacity);
    int length = -1;
    uint32_t timestamp = 0;
    Taken taken{assembler.Take(buffer, length, timestamp), {}, timestamp};
    if (taken.result == TakeResult::Taken)
        taken.bytes.assign(buffer.begin(), buffer.begin() + length);
    return taken;
}

} // namespace

TEST(RtpFrameAssembler, LostMarkerMergesTheSampleWithTheNext)
{
    CRtpFrameAssembler assembler;
    EXPECT_FALSE(assembler.AddPacket(Bytes(100, 1), false, 10)); // its marker packet is lost
    EXPECT_TRUE(assembler.AddPacket(Bytes(50, 2), true, 20));
    const Taken taken = TakeInto(assembler, 1000);
    ASSERT_EQ(taken.result, TakeResult::Taken);
    ASSERT_EQ(taken.bytes.size(), 150u);
    EXPECT_EQ(taken.bytes[99], 1);
    EXPECT_EQ(taken.bytes[100], 2);
    EXPECT_EQ(taken.timestamp, 20u);
}

TEST(RtpFrameAssembler, OversizeSampleIsNeverDeliveredAndCollectionRestarts)
{
    CRtpFrameAssembler assembler;
    // 7 x 1400 = 9800 bytes; the eighth packet would reach 10240.
    for (int i = 0; i < 7; ++i)
        assembler.AddPacket(Bytes(1400, 1), false, 1);
    EXPECT_TRUE(assembler.AddPacket(Bytes(1400, 2), true, 2));
    const Taken taken = TakeInto(assembler, 20000);
    ASSERT_EQ(taken.result, TakeResult::Taken);
    EXPECT_EQ(taken.bytes, Bytes(1400, 2));
}

TEST(RtpFrameAssembler, SampleOfJustUnderTheLimitIsDeliveredWhole)
{
    CRtpFrameAssembler assembler;
    for (int i = 0; i < 7; ++i)
        assembler.AddPacket(Bytes(1400, 1), false, 1);
    EXPECT_TRUE(assembler.AddPacket(Bytes(439, 2), true, 1)); // 10239 bytes
    EXPECT_EQ(TakeInto(assembler, 10239).bytes.size(), 10239u);
}

TEST(RtpFrameAssembler, ThirdSampleEvictsTheOldestOfTwo)
{
    CRtpFrameAssembler assembler;
    for (uint8_t i = 1; i <= 3; ++i)
        assembler.AddPacket(Bytes(10, i), true, i);
    EXPECT_EQ(assembler.QueuedCount(), 2u);
    EXPECT_EQ(TakeInto(assembler, 100).bytes, Bytes(10, 2));
    EXPECT_EQ(TakeInto(assembler, 100).bytes, Bytes(10, 3));
    EXPECT_EQ(TakeInto(assembler, 100).result, TakeResult::Empty);
}

TEST(RtpFrameAssembler, TooSmallBufferDropsThatSampleAndTheNextCallSeesTheFollowing)
{
    CRtpFrameAssembler assembler;
    assembler.AddPacket(Bytes(1600, 1), true, 1);
    assembler.AddPacket(Bytes(32, 2), true, 2);
    EXPECT_EQ(TakeInto(assembler, 1500).result, TakeResult::TooLarge);
    const Taken next = TakeInto(assembler, 1500);
    ASSERT_EQ(next.result, TakeResult::Taken);
    EXPECT_EQ(next.bytes, Bytes(32, 2));
}

TEST(RtpFrameAssembler, ResetForgetsPartialAndQueuedSamples)
{
    CRtpFrameAssembler assembler;
    assembler.AddPacket(Bytes(10, 1), true, 1);
    assembler.AddPacket(Bytes(10, 2), false, 2);
    assembler.Reset();
    EXPECT_EQ(TakeInto(assembler, 100).result, TakeResult::Empty);
    assembler.AddPacket(Bytes(5, 3), true, 3);
    EXPECT_EQ(TakeInto(assembler, 100).bytes, Bytes(5, 3));
}

TEST(RtpFrameAssembler, ReleaseWakesAWaitingReaderAtOnce)
{
    CRtpFrameAssembler assembler;
    std::thread releaser([&] { assembler.Release(); });
    // Without the release this would wait the full minute.
    EXPECT_FALSE(assembler.WaitForFrame(std::chrono::minutes(1)));
    releaser.join();
    assembler.Rearm();
    std::thread producer([&] { assembler.AddPacket(Bytes(1, 1), true, 1); });
    EXPECT_TRUE(assembler.WaitForFrame(std::chrono::minutes(1)));
    producer.join();
}
