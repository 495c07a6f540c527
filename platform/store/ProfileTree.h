#pragma once

#include "platform/store/IProfileStore.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kestrel::platform {

// Sizes no real profile comes near, so that a damaged or hostile file (a
// hand edit, a broken disk, another program) cannot exhaust memory, the
// stack or the time of the program reading it. A file beyond any of them
// reads as damaged; a change beyond them fails.
struct ProfileLimits {
    static constexpr std::size_t kMaxKeyDepth = 512;           // as the registry
    static constexpr std::size_t kMaxKeyNameLength = 255;      // as the registry
    static constexpr std::size_t kMaxValueNameLength = 16383;  // as the registry
    static constexpr std::size_t kMaxStringBytes = 1024 * 1024;
    static constexpr std::size_t kMaxKeys = 65536;             // in the whole store
    static constexpr std::size_t kMaxValuesPerKey = 65536;
};

// Splits "A\B\C" into its key names. Empty for a malformed path: an empty
// name (leading, trailing or doubled backslash), a name longer than 255
// characters, a name with a control character or ']' (which the text file
// could not hold), or more than kMaxKeyDepth names. The empty path is the
// root and yields no names.
std::optional<std::vector<std::string>> SplitKeyPath(std::string_view keyPath);

// Registry names match without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

// Hashes and compares names as the registry matches them, without regard to
// ASCII case; both take any string view, so a lookup copies nothing.
struct FoldedNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
};
struct FoldedNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }
};

// One key: its values in the order they were first written, and its
// subkeys, each found through a table of names so that a key with many
// values or subkeys costs no more per lookup than a small one.
class ProfileKey {
public:
    using Value = std::pair<std::string, ProfileValue>;

    ProfileKey() = default;
    explicit ProfileKey(std::string name) : name_(std::move(name)) {}

    const std::string &Name() const { return name_; }
    const std::vector<Value> &Values() const { return values_; }
    const std::vector<ProfileKey> &Subkeys() const { return subkeys_; }

    const ProfileValue *FindValue(std::string_view valueName) const;
    const ProfileKey *FindSubkey(std::string_view keyName) const;
    ProfileKey *FindSubkey(std::string_view keyName);

    enum class Result { Failed, Unchanged, Changed };
    // Adds or replaces a value; fails beyond kMaxValuesPerKey values.
    Result SetValue(std::string_view valueName, const ProfileValue &value);
    bool RemoveValue(std::string_view valueName);
    // The subkey, added when missing (the caller checks the limits).
    ProfileKey &AddSubkey(std::string_view keyName, bool &added);
    // Removes a subkey with everything below it; the number of keys removed
    // (0 when there was none).
    std::size_t RemoveSubkey(std::string_view keyName);
    // This key and every key below it.
    std::size_t CountKeys() const;

private:
    std::string name_;
    std::vector<Value> values_;
    std::vector<ProfileKey> subkeys_;
    using NameIndex = std::unordered_map<std::string, std::size_t, FoldedNameHash, FoldedNameEqual>;
    NameIndex valueIndex_;  // name -> position in values_
    NameIndex subkeyIndex_; // name -> position in subkeys_
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

    // For a reader building the tree key by key: creates the key as
    // CreateKey does and returns it (null when that fails), valid until the
    // next change of the tree's keys; values then go straight to it.
    ProfileKey *CreateKeyForFilling(std::string_view keyPath);
    static Change WriteValueTo(ProfileKey &key, std::string_view valueName, const ProfileValue &value);

    // The root holds the top-level keys (Software, ...) and no values.
    const ProfileKey &Root() const { return root_; }
    std::size_t KeyCount() const { return keyCount_; }

private:
    const ProfileKey *Find(std::string_view keyPath) const;
    ProfileKey *Find(std::string_view keyPath);

    ProfileKey root_;
    std::size_t keyCount_ = 0; // keys below the root
};

} // namespace kestrel::platform
