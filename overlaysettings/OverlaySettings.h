#pragma once

#include "overlaysettings/HotKey.h"
#include "platform/store/IProfileStore.h"

#include <cstdint>

namespace kestrel::overlaysettings {

// The overlay renderer's placement, transparency and main hot key, kept as
// 32-bit values in the profile section Software\ORVA\Kestrel\Settings. The
// main program's General page and KestrelSetting both edit them.
struct OverlaySettings {
    std::int32_t transparency = 0;  // percent, 0..100
    std::int32_t positionIndex = 0; // 0 Top/Right ... 4 User Input; -1 none chosen
    std::int32_t posX = 0;          // used with User Input only
    std::int32_t posY = 0;
    std::int32_t key = 0;           // virtual-key code of the main hot key
    std::int32_t modifier = 0;      // its modifier flags (kHotKeyShift...)

    friend bool operator==(const OverlaySettings &, const OverlaySettings &) = default;
};

// Values that are absent read as: 0 %, Top/Right, 0, 0, and Ctrl+Alt+V.
inline constexpr std::int32_t kDefaultHotKeyVirtualKey = 0x56; // V
inline constexpr std::int32_t kDefaultHotKeyModifier = kHotKeyControl | kHotKeyAlt;
inline constexpr std::int32_t kUserInputPositionIndex = 4;

// Fills all six fields from the profile, creating the section when missing.
void LoadOverlaySettings(platform::IProfileStore &store, OverlaySettings &settings);
// Writes all six fields; a failed write is not reported, as with the registry.
void SaveOverlaySettings(platform::IProfileStore &store, const OverlaySettings &settings);

// The main hot key as the hot-key control shows it: the low bytes of "Key" and "Modifier".
HotKey MainHotKey(const OverlaySettings &settings);
// Takes the control's value into the low 16 bits of "Key" and "Modifier", keeping their high bits.
void TakeMainHotKey(OverlaySettings &settings, HotKey hotKey);

} // namespace kestrel::overlaysettings
