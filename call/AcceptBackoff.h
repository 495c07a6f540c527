#pragma once

#include <chrono>
#include <optional>

namespace kestrel::call {

// When the listener tries accept again after it failed (out of descriptors,
// out of buffers): 100 ms after the first failure, twice as long after each
// further one, at most 2 s; a successful accept starts over.
class AcceptBackoff {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFirstPause{100};
    static constexpr std::chrono::milliseconds kLongestPause{2000};

    void Failed(Clock::time_point now);
    void Succeeded();
    // True while accept must not be tried.
    bool Pausing(Clock::time_point now) const { return retryAt && now < *retryAt; }
    // The end of the pause, while one is set.
    std::optional<Clock::time_point> RetryAt() const { return retryAt; }

private:
    std::optional<Clock::time_point> retryAt;
    std::chrono::milliseconds pause = kFirstPause;
};

} // namespace kestrel::call
