#pragma once

#include "platform/store/IProfileStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrel::platform {

// Splits "A\B\C" into its key names. Empty for a malformed path: an empty
// name (leading, trailing or doubled backslash), a name longer than 255
// characters, or a name with a control character or ']' (which the text
// file could not hold). The empty path is the root and yields no names.
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view keyPath);

// Registry names match without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

// One key: its values in the order they were first written, and its subkeys.
struct ProfileKey {
    std::string name;
    std::vector<std::pair<std::string, ProfileValue>> values;
    std::vector<ProfileKey> subkeys;

    const ProfileValue *FindValue(std::string_view valueName) const;
    const ProfileKey *FindSubkey(std::string_view keyName) const;
    ProfileKey *FindSubkey(std::string_view keyName);
};

// The whole store in memory. Each change reports whether it changed
// anything, so a file-backed store writes only when it must.
class ProfileTree {
public:
    enum class Change { Failed, Unchanged, Changed };

    Change CreateKey(std::string_view keyPath);
    bool KeyExists(std::string_view keyPath) const;
    std::optional<ProfileValue> ReadValue(std::string_view keyPath, std::string_view valueName) const;
    Change WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value);
    Change DeleteValue(std::string_view keyPath, std::string_view valueName);
    Change DeleteKeyTree(std::string_view keyPath);

    // The root holds the top-level keys (Software, ...) and no values.
    const ProfileKey &Root() const { return root_; }

private:
    const ProfileKey *Find(std::string_view keyPath) const;
    ProfileKey *Find(std::string_view keyPath);

    ProfileKey root_;
};

} // namespace kestrel::platform
