#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrel::call {

// Record types of the signalling protocol.
enum SignalType : int32_t {
    SIG_START = 0,  // caller -> callee: start, value = caller's media mask
    SIG_OK = 1,     // answer "yes", or reply to SIG_START with the replier's mask
    SIG_REFUSE = 2, // answer "no"
    SIG_HANGUP = 3, // end the call (never sent by this program, honoured on receipt)
};

// The only record on the wire: three signed 32-bit little-endian integers,
// no header, no framing other than the fixed size.
struct SignalMessage {
    int32_t type = 0;
    int32_t value = 0;
    int32_t reserved = 0;

    friend bool operator==(const SignalMessage &, const SignalMessage &) = default;
};

inline constexpr std::size_t kSignalMessageSize = 12;
using SignalRecord = std::array<uint8_t, kSignalMessageSize>;

SignalRecord EncodeSignal(const SignalMessage &message);
SignalMessage DecodeSignal(std::span<const uint8_t, kSignalMessageSize> record);

// Gathers the bytes of one record as they arrive, however the stream cuts
// them, so a record split over several reads is never dropped and the
// stream never goes out of step.
class SignalRecordCollector {
public:
    // Where the next received bytes go: the part of the record still missing.
    std::span<uint8_t> Missing();
    // Records that `count` bytes were written at the start of Missing().
    // A count larger than what is missing is refused (false) and changes
    // nothing, so the buffer is never overrun whatever the caller passes.
    bool Received(std::size_t count);
    bool Complete() const { return filled == kSignalMessageSize; }
    std::size_t Collected() const { return filled; }
    // The whole record, and the collector starts over; nothing while the
    // record is not complete.
    std::optional<SignalMessage> Take();
    void Reset() { filled = 0; }

private:
    SignalRecord bytes{};
    std::size_t filled = 0;
};

} // namespace kestrel::call
