#pragma once

#include <stop_token>
#include <string>

namespace kestrel::call {

// Turns a host name into a dotted IPv4 address for New Call.
class INameResolver {
public:
    virtual ~INameResolver() = default;
    // The dotted address of `name`; empty when it does not resolve or when
    // `cancel` is requested first. Any thread.
    virtual std::string Resolve(const std::string &name, std::stop_token cancel) = 0;
};

} // namespace kestrel::call
