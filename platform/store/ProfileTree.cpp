#include "platform/store/ProfileTree.h"

#include <algorithm>

namespace kestrel::platform {

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsValidKeyName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxKeyNameLength)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ']';
    });
}

bool IsValidValueName(std::string_view name)
{
    return name.find('\0') == std::string_view::npos;
}

} // namespace

std::optional<std::vector<std::string>> SplitKeyPath(std::string_view keyPath)
{
    std::vector<std::string> names;
    if (keyPath.empty())
        return names;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = keyPath.find('\\', start);
        const std::string_view name = keyPath.substr(start, end == std::string_view::npos ? end : end - start);
        if (!IsValidKeyName(name))
            return std::nullopt;
        names.emplace_back(name);
        if (end == std::string_view::npos)
            return names;
        start = end + 1;
    }
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

const ProfileValue *ProfileKey::FindValue(std::string_view valueName) const
{
    for (const auto &[name, value] : values)
        if (SameName(name, valueName))
            return &value;
    return nullptr;
}

const ProfileKey *ProfileKey::FindSubkey(std::string_view keyName) const
{
    for (const ProfileKey &subkey : subkeys)
        if (SameName(subkey.name, keyName))
            return &subkey;
    return nullptr;
}

ProfileKey *ProfileKey::FindSubkey(std::string_view keyName)
{
    return const_cast<ProfileKey *>(std::as_const(*this).FindSubkey(keyName));
}

const ProfileKey *ProfileTree::Find(std::string_view keyPath) const
{
    const auto names = SplitKeyPath(keyPath);
    if (!names)
        return nullptr;
    const ProfileKey *key = &root_;
    for (const std::string &name : *names) {
        key = key->FindSubkey(name);
        if (!key)
            return nullptr;
    }
    return key;
}

ProfileKey *ProfileTree::Find(std::string_view keyPath)
{
    return const_cast<ProfileKey *>(std::as_const(*this).Find(keyPath));
}

ProfileTree::Change ProfileTree::CreateKey(std::string_view keyPath)
{
    const auto names = SplitKeyPath(keyPath);
    if (!names)
        return Change::Failed;
    Change change = Change::Unchanged;
    ProfileKey *key = &root_;
    for (const std::string &name : *names) {
        ProfileKey *subkey = key->FindSubkey(name);
        if (!subkey) {
            key->subkeys.push_back(ProfileKey{name, {}, {}});
            subkey = &key->subkeys.back();
            change = Change::Changed;
        }
        key = subkey;
    }
    return change;
}

bool ProfileTree::KeyExists(std::string_view keyPath) const
{
    return Find(keyPath) != nullptr;
}

std::optional<ProfileValue> ProfileTree::ReadValue(std::string_view keyPath, std::string_view valueName) const
{
    const ProfileKey *key = Find(keyPath);
    if (!key)
        return std::nullopt;
    const ProfileValue *value = key->FindValue(valueName);
    if (!value)
        return std::nullopt;
    return *value;
}

ProfileTree::Change ProfileTree::WriteValue(std::string_view keyPath, std::string_view valueName,
                                            const ProfileValue &value)
{
    ProfileKey *key = Find(keyPath);
    if (!key || key == &root_ || !IsValidValueName(valueName))
        return Change::Failed;
    for (auto &[name, stored] : key->values) {
        if (SameName(name, valueName)) {
            if (stored == value)
                return Change::Unchanged;
            stored = value;
            return Change::Changed;
        }
    }
    key->values.emplace_back(std::string(valueName), value);
    return Change::Changed;
}

ProfileTree::Change ProfileTree::DeleteValue(std::string_view keyPath, std::string_view valueName)
{
    ProfileKey *key = Find(keyPath);
    if (!key)
        return Change::Failed;
    const auto found = std::find_if(key->values.begin(), key->values.end(),
                                    [&](const auto &entry) { return SameName(entry.first, valueName); });
    if (found == key->values.end())
        return Change::Failed;
    key->values.erase(found);
    return Change::Changed;
}

ProfileTree::Change ProfileTree::DeleteKeyTree(std::string_view keyPath)
{
    const auto names = SplitKeyPath(keyPath);
    if (!names || names->empty())
        return Change::Failed; // the root itself cannot be deleted
    const std::size_t lastSeparator = keyPath.rfind('\\');
    ProfileKey *parent = lastSeparator == std::string_view::npos ? &root_ : Find(keyPath.substr(0, lastSeparator));
    if (!parent)
        return Change::Failed;
    const auto found = std::find_if(parent->subkeys.begin(), parent->subkeys.end(),
                                    [&](const ProfileKey &key) { return SameName(key.name, names->back()); });
    if (found == parent->subkeys.end())
        return Change::Failed;
    parent->subkeys.erase(found);
    return Change::Changed;
}

} // namespace kestrel::platform
