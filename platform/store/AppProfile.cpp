#include "platform/store/AppProfile.h"

#include "platform/store/RegistryKey.h"

namespace kestrel::platform {

AppProfile::AppProfile(IProfileStore &store, std::string_view keyWord, std::string_view appName)
    : store_(store), profileKeyPath_("Software\\" + std::string(keyWord) + "\\" + std::string(appName))
{
}

std::string AppProfile::SectionKeyPath(std::string_view section) const
{
    return profileKeyPath_ + "\\" + std::string(section);
}

std::int32_t AppProfile::GetProfileInt(std::string_view section, std::string_view entry, std::int32_t defaultValue)
{
    const auto key = RegistryKey::Create(store_, SectionKeyPath(section));
    const auto value = key ? key->QueryDword(entry) : std::nullopt;
    return value ? static_cast<std::int32_t>(*value) : defaultValue;
}

std::string AppProfile::GetProfileString(std::string_view section, std::string_view entry,
                                         std::string_view defaultValue)
{
    const auto key = RegistryKey::Create(store_, SectionKeyPath(section));
    auto value = key ? key->QueryString(entry) : std::nullopt;
    return value ? std::move(*value) : std::string(defaultValue);
}

bool AppProfile::WriteProfileInt(std::string_view section, std::string_view entry, std::int32_t value)
{
    auto key = RegistryKey::Create(store_, SectionKeyPath(section));
    return key && key->SetDword(entry, static_cast<std::uint32_t>(value));
}

bool AppProfile::WriteProfileString(std::string_view section, std::string_view entry, std::string_view value)
{
    auto key = RegistryKey::Create(store_, SectionKeyPath(section));
    return key && key->SetString(entry, value);
}

} // namespace kestrel::platform
