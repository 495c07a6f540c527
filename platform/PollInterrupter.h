#pragma once

#include "platform/UniqueFd.h"

namespace kestrel::platform {

// Wakes a thread that waits in poll(): put Descriptor() into the poll set
// (POLLIN); Interrupt() from any thread makes it readable, and it stays so
// until the waiter calls Clear(). Several interrupts before a Clear count as
// one. The waiter clears first and looks at its state (a stop request, an
// answer) afterwards, so an interrupt that arrives in between is never lost.
class PollInterrupter {
public:
    // Throws std::system_error when no descriptor can be had.
    PollInterrupter();

    // Any thread, also from a std::stop_callback; never blocks.
    void Interrupt() noexcept;
    // The waiting thread: takes back every interrupt so far.
    void Clear() noexcept;
    // True while an interrupt waits to be cleared; looks without waiting.
    bool Pending() const noexcept;
    int Descriptor() const { return fd.Get(); }

private:
    UniqueFd fd;
};

} // namespace kestrel::platform
