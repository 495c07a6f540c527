#include "platform/store/MemoryProfileStore.h"

namespace kestrel::platform {

bool MemoryProfileStore::Succeeded(ProfileTree::Change change) const
{
    return change != ProfileTree::Change::Failed;
}

bool MemoryProfileStore::CreateKey(std::string_view keyPath)
{
    if (tree_.KeyExists(keyPath))
        return true;
    return !failWrites_ && Succeeded(tree_.CreateKey(keyPath));
}

bool MemoryProfileStore::KeyExists(std::string_view keyPath)
{
    return tree_.KeyExists(keyPath);
}

std::optional<ProfileValue> MemoryProfileStore::ReadValue(std::string_view keyPath, std::string_view valueName)
{
    return tree_.ReadValue(keyPath, valueName);
}

bool MemoryProfileStore::WriteValue(std::string_view keyPath, std::string_view valueName, const ProfileValue &value)
{
    return !failWrites_ && Succeeded(tree_.WriteValue(keyPath, valueName, value));
}

bool MemoryProfileStore::DeleteValue(std::string_view keyPath, std::string_view valueName)
{
    return !failWrites_ && Succeeded(tree_.DeleteValue(keyPath, valueName));
}

bool MemoryProfileStore::DeleteKeyTree(std::string_view keyPath)
{
    return !failWrites_ && Succeeded(tree_.DeleteKeyTree(keyPath));
}

} // namespace kestrel::platform
