#pragma once

#include <netinet/in.h>

#include <optional>
#include <stop_token>
#include <string>

namespace kestrel::call {

// The outcome of one IPv4 look-up: the first address (network order), or
// getaddrinfo's error (EAI_CANCELED when the look-up was cancelled).
struct NameLookupResult {
    std::optional<in_addr_t> address;
    int error = 0;
};

// Looks `name` up (dotted text or host name) and waits for the answer. A stop
// requested on `cancel`, before or during the look-up, ends the wait at once:
// the look-up then runs on glibc's asynchronous resolver, which may go on
// with it and frees its result when it arrives. Without a token that can be
// stopped the look-up is an ordinary blocking one.
NameLookupResult LookUpIPv4(const std::string &name, std::stop_token cancel = {});

} // namespace kestrel::call
