#include "AcceptBackoff.h"

#include <algorithm>

namespace kestrel::call {

void AcceptBackoff::Failed(Clock::time_point now)
{
    retryAt = now + pause;
    pause = std::min(pause * 2, kLongestPause);
}

void AcceptBackoff::Succeeded()
{
    retryAt.reset();
    pause = kFirstPause;
}

} // namespace kestrel::call
