#include "call/SignalMessage.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kestrel::call;

TEST(SignalMessage, WireBytesAreLittleEndianTypeValueReserved)
{
    const SignalRecord start = EncodeSignal({SIG_START, 3, 0});
    const SignalRecord expected = {0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(start, expected);

    const SignalRecord refuse = EncodeSignal({SIG_REFUSE, 0, 0});
    const SignalRecord expectedRefuse = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(refuse, expectedRefuse);
}

TEST(SignalMessage, NegativeAndLargeValuesSurviveARoundTrip)
{
    for (const SignalMessage message : {SignalMessage{SIG_OK, -1, 0x7fffffff}, SignalMessage{-5, INT32_MIN, 0x01020304}}) {
        const SignalRecord record = EncodeSignal(message);
        EXPECT_EQ(DecodeSignal(record), message);
    }
    const SignalRecord bytes = {0x04, 0x03, 0x02, 0x01, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0x80};
    EXPECT_EQ(DecodeSignal(bytes), (SignalMessage{0x01020304, -1, INT32_MIN}));
}

TEST(SignalRecordCollector, RecordCutAnywhereIsRebuiltWhole)
{
    const SignalRecord record = EncodeSignal({SIG_START, 2, 0});
    for (size_t cut = 1; cut < kSignalMessageSize; ++cut) {
        SignalRecordCollector collector;
        std::memcpy(collector.Missing().data(), record.data(), cut);
        collector.Received(cut);
        EXPECT_FALSE(collector.Complete());
        ASSERT_EQ(collector.Missing().size(), kSignalMessageSize - cut);
        std::memcpy(collector.Missing().data(), record.data() + cut, kSignalMessageSize - cut);
        collector.Received(kSignalMessageSize - cut);
        ASSERT_TRUE(collector.Complete());
        EXPECT_EQ(collector.Take(), (SignalMessage{SIG_START, 2, 0})) << "cut after " << cut << " bytes";
        EXPECT_EQ(collector.Collected(), 0u) << "the next record starts fresh";
    }
}

TEST(SignalRecordCollector, CountsBeyondTheRecordAreRefusedAndNothingIsOverrun)
{
    SignalRecordCollector collector;
    EXPECT_FALSE(collector.Received(kSignalMessageSize + 1));
    EXPECT_EQ(collector.Collected(), 0u);
    EXPECT_TRUE(collector.Received(5));
    EXPECT_FALSE(collector.Received(8)) << "only 7 bytes are missing";
    EXPECT_EQ(collector.Collected(), 5u);
    EXPECT_EQ(collector.Missing().size(), 7u);
    EXPECT_EQ(collector.Take(), std::nullopt) << "an incomplete record is not handed out";
    EXPECT_EQ(collector.Collected(), 5u) << "and is kept";
    EXPECT_TRUE(collector.Received(7));
    EXPECT_TRUE(collector.Take().has_value());
    EXPECT_FALSE(collector.Received(SIZE_MAX)) << "no wrap-around of the count";
    EXPECT_EQ(collector.Collected(), 0u);
}
