#include "overlaysettings/OsdHotkeySettings.h"

#include "overlaysettings/VirtualKeyMap.h"
#include "platform/store/RegistryKey.h"

namespace kestrel::overlaysettings {

namespace {

constexpr std::string_view kEnableValue = "HotkeyEnable";
constexpr std::string_view kScanCodeValue = "HotkeyValue";

} // namespace

bool LoadOsdHotkey(platform::IProfileStore &store, OsdHotkeySettings &settings)
{
    const auto key = platform::RegistryKey::Open(store, kOsdD3DKeyPath);
    if (!key)
        return false;
    settings.enable = static_cast<std::int32_t>(key->QueryDword(kEnableValue).value_or(0));
    if (const auto scanCode = key->QueryDword(kScanCodeValue)) {
        const std::uint32_t virtualKey = MapVirtualKey(*scanCode, KeyMapType::ScanCodeToVirtualKey);
        settings.hotKey = {static_cast<std::uint8_t>(virtualKey & 0xFF), kHotKeyControl | kHotKeyAlt};
    } else {
        settings.hotKey = {};
    }
    return true;
}

void SaveOsdHotkey(platform::IProfileStore &store, const OsdHotkeySettings &settings)
{
    const std::uint32_t scanCode =
        MapVirtualKey(settings.hotKey.virtualKey, KeyMapType::VirtualKeyToScanCode) & 0xFFFF;
    for (const std::string_view path : {kOsdD3DKeyPath, kOsdOpenGLKeyPath}) {
        auto key = platform::RegistryKey::Open(store, path);
        if (!key)
            continue;
        key->SetDword(kEnableValue, static_cast<std::uint32_t>(settings.enable));
        key->SetDword(kScanCodeValue, scanCode);
    }
}

} // namespace kestrel::overlaysettings
