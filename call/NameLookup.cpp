#include "NameLookup.h"

#include "platform/PollInterrupter.h"

#include <netdb.h>
#include <poll.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <system_error>

namespace kestrel::call {

namespace {

// One look-up handed to glibc's asynchronous resolver. It is shared by the
// waiting caller and the resolver's completion notice, and freed by whichever
// lets go last, so a caller that was cancelled can return while the resolver
// still writes into the request.
struct PendingLookup {
    explicit PendingLookup(const std::string &name) : name(name)
    {
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        request.ar_name = this->name.c_str();
        request.ar_request = &hints;
    }
    ~PendingLookup()
    {
        if (request.ar_result)
            ::freeaddrinfo(request.ar_result);
    }

    const std::string name;
    addrinfo hints{};
    gaicb request{};
    platform::PollInterrupter done;
    std::atomic<int> holders{2}; // the caller and the completion notice
};

void Release(PendingLookup *lookup)
{
    if (lookup->holders.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete lookup;
}

// Runs on a thread of the resolver once the look-up has finished.
void LookupFinished(sigval value)
{
    auto *lookup = static_cast<PendingLookup *>(value.sival_ptr);
    lookup->done.Interrupt();
    Release(lookup);
}

NameLookupResult FirstAddress(int error, const addrinfo *found)
{
    if (error != 0)
        return {std::nullopt, error};
    for (const addrinfo *entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET)
            return {reinterpret_cast<const sockaddr_in *>(entry->ai_addr)->sin_addr.s_addr, 0};
    }
    return {std::nullopt, EAI_NONAME};
}

// A look-up nobody can cancel needs no resolver threads: it runs right here.
NameLookupResult LookUpNow(const std::string &name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    const NameLookupResult result = FirstAddress(error, found);
    if (found)
        ::freeaddrinfo(found);
    return result;
}

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot follow the threads that glibc's asynchronous
// resolver starts inside the C library (they crash in its allocator), so
// builds with it look every name up at once, without a cancel.
constexpr bool kAsynchronousLookUp = false;
#else
constexpr bool kAsynchronousLookUp = true;
#endif

} // namespace

NameLookupResult LookUpIPv4(const std::string &name, std::stop_token cancel)
{
    if (cancel.stop_requested())
        return {std::nullopt, EAI_CANCELED};
    if (!kAsynchronousLookUp || !cancel.stop_possible())
        return LookUpNow(name);
    std::unique_ptr<PendingLookup> starting;
    std::optional<platform::PollInterrupter> cancelled;
    try {
        starting = std::make_unique<PendingLookup>(name);
        cancelled.emplace();
    } catch (const std::system_error &) {
        return {std::nullopt, EAI_SYSTEM};
    }
    sigevent notice{};
    notice.sigev_notify = SIGEV_THREAD;
    notice.sigev_notify_function = LookupFinished;
    notice.sigev_value.sival_ptr = starting.get();
    gaicb *requests[] = {&starting->request};
    if (int error = ::getaddrinfo_a(GAI_NOWAIT, requests, 1, &notice); error != 0)
        return {std::nullopt, error};
    PendingLookup *lookup = starting.release();

    // Registered after the look-up started: a stop requested before runs the
    // callback right here, so the wait below sees it either way.
    std::stop_callback onCancel(cancel, [&] { cancelled->Interrupt(); });
    pollfd waits[] = {{lookup->done.Descriptor(), POLLIN, 0}, {cancelled->Descriptor(), POLLIN, 0}};
    while (::poll(waits, 2, -1) < 0 && errno == EINTR) {
    }
    if (!(waits[0].revents & POLLIN)) {
        // Cancelled. A request the resolver had not begun is taken back and
        // will send no notice; one under way finishes on its own.
        if (::gai_cancel(&lookup->request) == EAI_CANCELED)
            Release(lookup);
        Release(lookup);
        return {std::nullopt, EAI_CANCELED};
    }
    const NameLookupResult result = FirstAddress(::gai_error(&lookup->request), lookup->request.ar_result);
    Release(lookup);
    return result;
}

} // namespace kestrel::call
