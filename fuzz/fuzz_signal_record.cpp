// The signalling record collector, fed a TCP stream cut into pieces of 1 to
// 12 bytes. Input: pairs of a control byte (the piece's size, 1 + c % 12)
// and the piece's bytes. Every record taken must be exactly the decoding of
// the next 12 bytes of the stream, however the stream was cut.
#include "FuzzCheck.h"
#include "call/SignalMessage.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

using namespace kestrel::call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    SignalRecordCollector collector;
    std::vector<uint8_t> stream;
    std::size_t recordsTaken = 0;
    std::size_t at = 0;
    while (at < size) {
        const std::size_t piece = 1 + data[at++] % kSignalMessageSize;
        std::size_t left = std::min(piece, size - at);
        while (left > 0) {
            const std::span<uint8_t> missing = collector.Missing();
            FUZZ_CHECK(missing.size() == kSignalMessageSize - collector.Collected());
            const std::size_t count = std::min(left, missing.size());
            std::memcpy(missing.data(), data + at, count);
            stream.insert(stream.end(), data + at, data + at + count);
            FUZZ_CHECK(collector.Received(count));
            at += count;
            left -= count;
            if (collector.Complete()) {
                const std::optional<SignalMessage> taken = collector.Take();
                FUZZ_CHECK(taken.has_value());
                const SignalMessage message = *taken;
                FUZZ_CHECK(collector.Collected() == 0);
                const std::span<const uint8_t, kSignalMessageSize> expected(&stream[recordsTaken * kSignalMessageSize],
                                                                            kSignalMessageSize);
                FUZZ_CHECK(message == DecodeSignal(expected));
                const SignalRecord encoded = EncodeSignal(message);
                FUZZ_CHECK(std::equal(encoded.begin(), encoded.end(), expected.begin()));
                ++recordsTaken;
            }
        }
    }
    FUZZ_CHECK(recordsTaken == stream.size() / kSignalMessageSize);
    FUZZ_CHECK(collector.Collected() == stream.size() % kSignalMessageSize);
    return 0;
}
