#include "PollInterrupter.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace kestrel::platform {

PollInterrupter::PollInterrupter() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!fd)
        throw std::system_error(errno, std::system_category(), "eventfd");
}

void PollInterrupter::Interrupt() noexcept
{
    const uint64_t one = 1;
    // Fails only when the counter is about to overflow, and then it is
    // readable already.
    [[maybe_unused]] auto written = ::write(fd.Get(), &one, sizeof one);
}

void PollInterrupter::Clear() noexcept
{
    uint64_t count;
    [[maybe_unused]] auto drained = ::read(fd.Get(), &count, sizeof count);
}

bool PollInterrupter::Pending() const noexcept
{
    pollfd entry{fd.Get(), POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

} // namespace kestrel::platform
