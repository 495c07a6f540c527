#pragma once

#include "platform/store/IProfileStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrel::platform {

// An opened key of the store, used the way a registry key handle is: opened
// with or without creating it, then queried and set value by value. It holds
// no resource of its own (every call goes to the store), so there is nothing
// to close; a key deleted by another program after opening makes later
// writes fail, as a registry handle to a deleted key does.
class RegistryKey {
public:
    // Opens the key, creating it and every missing key above it.
    static std::optional<RegistryKey> Create(IProfileStore &store, std::string_view keyPath);
    // Opens the key only when it exists already.
    static std::optional<RegistryKey> Open(IProfileStore &store, std::string_view keyPath);

    // Empty when the value is missing or is not a 32-bit number.
    std::optional<std::uint32_t> QueryDword(std::string_view valueName) const;
    // Empty when the value is missing or is not a string.
    std::optional<std::string> QueryString(std::string_view valueName) const;
    bool SetDword(std::string_view valueName, std::uint32_t value);
    bool SetString(std::string_view valueName, std::string_view value);
    bool DeleteValue(std::string_view valueName);

    const std::string &Path() const { return path_; }

private:
    RegistryKey(IProfileStore &store, std::string_view keyPath) : store_(&store), path_(keyPath) {}

    IProfileStore *store_;
    std::string path_;
};

} // namespace kestrel::platform
