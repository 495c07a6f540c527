#include "overlaysettings/OverlaySettings.h"

#include "platform/store/AppProfile.h"

namespace kestrel::overlaysettings {

namespace {

constexpr std::string_view kSection = "Settings";

struct ProfileField {
    const char *name;
    std::int32_t OverlaySettings::*member;
    std::int32_t defaultValue;
};

// In the order they are read and written.
constexpr ProfileField kFields[] = {
    {"Transparency", &OverlaySettings::transparency, 0},
    {"PositionIndex", &OverlaySettings::positionIndex, 0},
    {"PosX", &OverlaySettings::posX, 0},
    {"PosY", &OverlaySettings::posY, 0},
    {"Key", &OverlaySettings::key, kDefaultHotKeyVirtualKey},
    {"Modifier", &OverlaySettings::modifier, kDefaultHotKeyModifier},
};

std::int32_t ReplaceLow16(std::int32_t stored, std::uint16_t low)
{
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(stored) & 0xFFFF0000u) | low);
}

} // namespace

void LoadOverlaySettings(platform::IProfileStore &store, OverlaySettings &settings)
{
    platform::AppProfile profile(store);
    for (const ProfileField &field : kFields)
        settings.*field.member = profile.GetProfileInt(kSection, field.name, field.defaultValue);
}

void SaveOverlaySettings(platform::IProfileStore &store, const OverlaySettings &settings)
{
    platform::AppProfile profile(store);
    for (const ProfileField &field : kFields)
        profile.WriteProfileInt(kSection, field.name, settings.*field.member);
}

HotKey MainHotKey(const OverlaySettings &settings)
{
    return {static_cast<std::uint8_t>(settings.key & 0xFF), static_cast<std::uint8_t>(settings.modifier & 0xFF)};
}

void TakeMainHotKey(OverlaySettings &settings, HotKey hotKey)
{
    settings.key = ReplaceLow16(settings.key, hotKey.virtualKey);
    settings.modifier = ReplaceLow16(settings.modifier, hotKey.modifiers);
}

} // namespace kestrel::overlaysettings
