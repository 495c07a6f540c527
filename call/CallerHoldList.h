#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <map>

namespace kestrel::call {

// Caller addresses that get no question for a while: an address whose
// question ended without the user's answer (the caller left, or nobody
// answered) is held until 10 s after that question was put, so that one
// address connecting and leaving over and over shows the user one question,
// not a flicker of them. A caller whose dial waited for its whole answer
// time (10 s) is never held. The list keeps at most kMaxAddresses entries.
class CallerHoldList {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kHold{10};
    static constexpr std::size_t kMaxAddresses = 256;

    // The question to `address` (network order), put at `askedAt`, ended
    // without an answer.
    void QuestionUnanswered(in_addr_t address, Clock::time_point askedAt, Clock::time_point now);
    bool OnHold(in_addr_t address, Clock::time_point now);
    std::size_t Size() const { return heldUntil.size(); }

private:
    void ForgetExpired(Clock::time_point now);

    std::map<in_addr_t, Clock::time_point> heldUntil;
};

} // namespace kestrel::call
