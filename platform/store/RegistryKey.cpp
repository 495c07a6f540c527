#include "platform/store/RegistryKey.h"

namespace kestrel::platform {

std::optional<RegistryKey> RegistryKey::Create(IProfileStore &store, std::string_view keyPath)
{
    if (!store.CreateKey(keyPath))
        return std::nullopt;
    return RegistryKey(store, keyPath);
}

std::optional<RegistryKey> RegistryKey::Open(IProfileStore &store, std::string_view keyPath)
{
    if (!store.KeyExists(keyPath))
        return std::nullopt;
    return RegistryKey(store, keyPath);
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view valueName) const
{
    const auto value = store_->ReadValue(path_, valueName);
    if (!value || !std::holds_alternative<std::uint32_t>(*value))
        return std::nullopt;
    return std::get<std::uint32_t>(*value);
}

std::optional<std::string> RegistryKey::QueryString(std::string_view valueName) const
{
    auto value = store_->ReadValue(path_, valueName);
    if (!value || !std::holds_alternative<std::string>(*value))
        return std::nullopt;
    return std::get<std::string>(std::move(*value));
}

bool RegistryKey::SetDword(std::string_view valueName, std::uint32_t value)
{
    return store_->WriteValue(path_, valueName, ProfileValue(value));
}

bool RegistryKey::SetString(std::string_view valueName, std::string_view value)
{
    return store_->WriteValue(path_, valueName, ProfileValue(std::string(value)));
}

bool RegistryKey::DeleteValue(std::string_view valueName)
{
    return store_->DeleteValue(path_, valueName);
}

} // namespace kestrel::platform
