#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kestrel::platform {

// A stored value: a 32-bit number (REG_DWORD) or a string (REG_SZ).
using ProfileValue = std::variant<std::uint32_t, std::string>;

// The current user's keys and values, with the registry's semantics.
//
// Key paths are relative to the user's root and separate key names with
// backslashes ("Software\ORVA\Kestrel\Settings"). Key and value names are
// compared without regard to ASCII case, as the registry does; a name keeps
// the spelling it was created with. Every operation reports failure as a
// value and never throws: settings failures are silent to the user.
class IProfileStore {
public:
    virtual ~IProfileStore() = default;

    // Opens or creates every key along the path. False for a malformed path
    // or when the store cannot be written.
    virtual bool CreateKey(std::string_view keyPath) = 0;
    virtual bool KeyExists(std::string_view keyPath) = 0;

    // Empty when the key or the value does not exist.
    virtual std::optional<ProfileValue> ReadValue(std::string_view keyPath, std::string_view valueName) = 0;
    // Adds or replaces a value of an existing key; never creates the key.
    virtual bool WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value) = 0;
    // False when there was no such value.
    virtual bool DeleteValue(std::string_view keyPath, std::string_view valueName) = 0;
    // Removes the key with all its subkeys and values; false when it did not exist.
    virtual bool DeleteKeyTree(std::string_view keyPath) = 0;
};

} // namespace kestrel::platform
