#include "CallerHoldList.h"

#include <algorithm>

namespace kestrel::call {

void CallerHoldList::QuestionUnanswered(in_addr_t address, Clock::time_point askedAt, Clock::time_point now)
{
    const Clock::time_point until = askedAt + kHold;
    if (until <= now)
        return;
    ForgetExpired(now);
    if (heldUntil.size() >= kMaxAddresses && !heldUntil.contains(address)) {
        // Many addresses at once: the one released soonest makes room.
        auto soonest = std::min_element(heldUntil.begin(), heldUntil.end(),
                                        [](const auto &a, const auto &b) { return a.second < b.second; });
        heldUntil.erase(soonest);
    }
    auto &held = heldUntil[address];
    held = std::max(held, until);
}

bool CallerHoldList::OnHold(in_addr_t address, Clock::time_point now)
{
    auto found = heldUntil.find(address);
    if (found == heldUntil.end())
        return false;
    if (found->second > now)
        return true;
    heldUntil.erase(found);
    return false;
}

void CallerHoldList::ForgetExpired(Clock::time_point now)
{
    std::erase_if(heldUntil, [now](const auto &entry) { return entry.second <= now; });
}

} // namespace kestrel::call
