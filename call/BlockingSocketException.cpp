#include "BlockingSocketException.h"

#include <cstdio>
#include <cstring>

namespace kestrel::call {

namespace {
constexpr int kMessageCapacity = 200;
}

bool CBlockingSocketException::GetErrorMessage(std::string &message) const
{
    char text[kMessageCapacity];
    GetErrorMessage(text, kMessageCapacity);
    message = text;
    return true;
}

bool CBlockingSocketException::GetErrorMessage(char *buffer, int size) const
{
    if (buffer == nullptr || size <= 0)
        return true;
    char text[kMessageCapacity];
    if (error != 0)
        std::snprintf(text, sizeof text, "%s error #%d", operation, error);
    else
        std::snprintf(text, sizeof text, "%s error", operation);
    std::snprintf(buffer, static_cast<size_t>(size), "%s", text);
    return true;
}

} // namespace kestrel::call
