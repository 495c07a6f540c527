#include "filters/OrtpRuntime.h"

#include <ortp/logging.h>
#include <ortp/ortp.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kestrel::filters {

bool CLogRateLimiter::Admit(Clock::time_point now, std::size_t &suppressedBefore)
{
    suppressedBefore = 0;
    if (now - windowStart >= std::chrono::seconds(1)) {
        suppressedBefore = suppressed;
        windowStart = now;
        linesInWindow = 0;
        suppressed = 0;
    }
    if (linesInWindow < linesPerSecond) {
        ++linesInWindow;
        return true;
    }
    ++suppressed;
    return false;
}

namespace {

std::mutex logLock; // guards limiter and the writes to stderr
CLogRateLimiter limiter(10);

void WriteOrtpLine(const char *domain, OrtpLogLevel level, const char *format, va_list args)
{
    std::lock_guard lock(logLock);
    std::size_t suppressed = 0;
    const bool admitted = limiter.Admit(CLogRateLimiter::Clock::now(), suppressed);
    if (suppressed > 0)
        std::fprintf(stderr, "tideline: %zu oRTP log lines suppressed\n", suppressed);
    if (!admitted)
        return;
    const char *levelName = (level & ORTP_ERROR) || (level & ORTP_FATAL) ? "error" : "warning";
    std::fprintf(stderr, "tideline: %s %s: ", domain ? domain : "ortp", levelName);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

} // namespace

void EnsureOrtpInitialised()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ortp_init();
        // Only problems are worth a line; oRTP's chatter about every session
        // and packet is not.
        ortp_set_log_level_mask("ortp", ORTP_WARNING | ORTP_ERROR | ORTP_FATAL);
        ortp_set_log_level_mask("bctbx", ORTP_WARNING | ORTP_ERROR | ORTP_FATAL);
        ortp_set_log_handler(WriteOrtpLine);
    });
}

} // namespace kestrel::filters
