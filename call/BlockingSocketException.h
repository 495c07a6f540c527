#pragma once

#include <string>

namespace kestrel::call {

// Thrown by every failing operation of CBlockingSocket: the operation's name
// ("Create", "Bind", "Listen", "Accept", "Close", "Connect", "Send",
// "Send timeout", "Receive timeout", "GetHostByName") and the platform's
// error number (errno; 0 when the platform reported none, as for a time-out).
// Thrown and caught by value; it does not derive from std::exception, so
// handlers catch it by its own type.
class CBlockingSocketException {
public:
    CBlockingSocketException(const char *operation, int error) : error(error), operation(operation) {}

    // "%s error #%d" with the operation and the error number, or "%s error"
    // when the error number is 0. Both forms return true.
    bool GetErrorMessage(std::string &message) const;
    // The same text, cut to `size` - 1 characters and always terminated.
    bool GetErrorMessage(char *buffer, int size) const;

    int error;
    const char *operation;
};

} // namespace kestrel::call
