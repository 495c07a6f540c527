#include "platform/store/ProfileTree.h"

#include <algorithm>

namespace kestrel::platform {

namespace {

char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsValidKeyName(std::string_view name)
{
    if (name.empty() || name.size() > ProfileLimits::kMaxKeyNameLength)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ']';
    });
}

bool IsValidValueName(std::string_view name)
{
    return name.size() <= ProfileLimits::kMaxValueNameLength && name.find('\0') == std::string_view::npos;
}

bool IsStorable(const ProfileValue &value)
{
    const auto *text = std::get_if<std::string>(&value);
    return !text || text->size() <= ProfileLimits::kMaxStringBytes;
}

template <typename Index, typename T>
void Reindex(Index &index, const std::vector<T> &items, std::size_t from, const std::string &(*nameOf)(const T &))
{
    for (std::size_t i = from; i < items.size(); ++i)
        index.find(std::string_view(nameOf(items[i])))->second = i;
}

const std::string &ValueName(const ProfileKey::Value &value)
{
    return value.first;
}

const std::string &KeyName(const ProfileKey &key)
{
    return key.Name();
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
        if (!IsValidKeyName(name) || names.size() == ProfileLimits::kMaxKeyDepth)
            return std::nullopt;
        names.emplace_back(name);
        if (end == std::string_view::npos)
            return names;
        start = end + 1;
    }
}

std::size_t FoldedNameHash::operator()(std::string_view name) const
{
    // FNV-1a over the folded bytes.
    std::size_t hash = 14695981039346656037ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(FoldAscii(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

const ProfileValue *ProfileKey::FindValue(std::string_view valueName) const
{
    const auto found = valueIndex_.find(valueName);
    return found == valueIndex_.end() ? nullptr : &values_[found->second].second;
}

const ProfileKey *ProfileKey::FindSubkey(std::string_view keyName) const
{
    const auto found = subkeyIndex_.find(keyName);
    return found == subkeyIndex_.end() ? nullptr : &subkeys_[found->second];
}

ProfileKey *ProfileKey::FindSubkey(std::string_view keyName)
{
    return const_cast<ProfileKey *>(std::as_const(*this).FindSubkey(keyName));
}

ProfileKey::Result ProfileKey::SetValue(std::string_view valueName, const ProfileValue &value)
{
    if (const auto found = valueIndex_.find(valueName); found != valueIndex_.end()) {
        ProfileValue &stored = values_[found->second].second;
        if (stored == value)
            return Result::Unchanged;
        stored = value;
        return Result::Changed;
    }
    if (values_.size() >= ProfileLimits::kMaxValuesPerKey)
        return Result::Failed;
    valueIndex_.emplace(std::string(valueName), values_.size());
    values_.emplace_back(std::string(valueName), value);
    return Result::Changed;
}

bool ProfileKey::RemoveValue(std::string_view valueName)
{
    const auto found = valueIndex_.find(valueName);
    if (found == valueIndex_.end())
        return false;
    const std::size_t position = found->second;
    valueIndex_.erase(found);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
    Reindex(valueIndex_, values_, position, ValueName);
    return true;
}

ProfileKey &ProfileKey::AddSubkey(std::string_view keyName, bool &added)
{
    if (const auto found = subkeyIndex_.find(keyName); found != subkeyIndex_.end()) {
        added = false;
        return subkeys_[found->second];
    }
    added = true;
    subkeyIndex_.emplace(std::string(keyName), subkeys_.size());
    return subkeys_.emplace_back(std::string(keyName));
}

std::size_t ProfileKey::RemoveSubkey(std::string_view keyName)
{
    const auto found = subkeyIndex_.find(keyName);
    if (found == subkeyIndex_.end())
        return 0;
    const std::size_t position = found->second;
    const std::size_t removed = subkeys_[position].CountKeys();
    subkeyIndex_.erase(found);
    subkeys_.erase(subkeys_.begin() + static_cast<std::ptrdiff_t>(position));
    Reindex(subkeyIndex_, subkeys_, position, KeyName);
    return removed;
}

std::size_t ProfileKey::CountKeys() const
{
    // Iterative: depth is bounded, but a walk never needs the stack for it.
    std::size_t count = 0;
    std::vector<const ProfileKey *> pending{this};
    while (!pending.empty()) {
        const ProfileKey *key = pending.back();
        pending.pop_back();
        ++count;
        for (const ProfileKey &subkey : key->subkeys_)
            pending.push_back(&subkey);
    }
    return count;
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

ProfileKey *ProfileTree::CreateKeyForFilling(std::string_view keyPath)
{
    const auto names = SplitKeyPath(keyPath);
    if (!names)
        return nullptr;
    // Count what is missing first, so a change beyond the limit leaves the tree as it was.
    std::size_t missing = 0;
    const ProfileKey *existing = &root_;
    for (const std::string &name : *names) {
        existing = existing ? existing->FindSubkey(name) : nullptr;
        missing += existing ? 0 : 1;
    }
    if (keyCount_ + missing > ProfileLimits::kMaxKeys)
        return nullptr;
    ProfileKey *key = &root_;
    for (const std::string &name : *names) {
        bool added = false;
        key = &key->AddSubkey(name, added);
    }
    keyCount_ += missing;
    return key;
}

ProfileTree::Change ProfileTree::CreateKey(std::string_view keyPath)
{
    const std::size_t before = keyCount_;
    if (!CreateKeyForFilling(keyPath))
        return Change::Failed;
    return keyCount_ == before ? Change::Unchanged : Change::Changed;
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

ProfileTree::Change ProfileTree::WriteValueTo(ProfileKey &key, std::string_view valueName, const ProfileValue &value)
{
    if (!IsValidValueName(valueName) || !IsStorable(value))
        return Change::Failed;
    switch (key.SetValue(valueName, value)) {
    case ProfileKey::Result::Failed: return Change::Failed;
    case ProfileKey::Result::Unchanged: return Change::Unchanged;
    case ProfileKey::Result::Changed: break;
    }
    return Change::Changed;
}

ProfileTree::Change ProfileTree::WriteValue(std::string_view keyPath, std::string_view valueName,
                                            const ProfileValue &value)
{
    ProfileKey *key = Find(keyPath);
    if (!key || key == &root_)
        return Change::Failed;
    return WriteValueTo(*key, valueName, value);
}

ProfileTree::Change ProfileTree::DeleteValue(std::string_view keyPath, std::string_view valueName)
{
    ProfileKey *key = Find(keyPath);
    if (!key || !key->RemoveValue(valueName))
        return Change::Failed;
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
    const std::size_t removed = parent->RemoveSubkey(names->back());
    if (removed == 0)
        return Change::Failed;
    keyCount_ -= removed;
    return Change::Changed;
}

} // namespace kestrel::platform
