#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

namespace kestrel::filters {

// Lets through at most `linesPerSecond` lines in any one-second window and
// counts the rest, so a flood of identical diagnostics (oRTP writes one line
// per dropped packet under overload) cannot fill the disk.
class CLogRateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit CLogRateLimiter(std::size_t linesPerSecond) : linesPerSecond(linesPerSecond) {}

    // True when a line arriving at `now` may be written. When a new window
    // opens after suppression, `suppressedBefore` tells how many lines the
    // previous window swallowed.
    bool Admit(Clock::time_point now, std::size_t &suppressedBefore);

private:
    std::size_t linesPerSecond;
    Clock::time_point windowStart{};
    std::size_t linesInWindow = 0;
    std::size_t suppressed = 0;
};

// Initialises oRTP once per process and routes its log lines, rate-limited,
// to standard error. Safe to call from any thread, any number of times.
void EnsureOrtpInitialised();

} // namespace kestrel::filters
