#pragma once

#include "overlaysettings/HotKey.h"
#include "platform/store/IProfileStore.h"

#include <cstdint>
#include <string_view>

namespace kestrel::overlaysettings {

// The overlay renderer's on-screen-display hot key. Its two keys belong to
// the renderer's installation: Kestrel never creates them, writes both alike
// and reads only the D3D one. Only the key's scan code is stored; the key is
// always shown with Ctrl+Alt.
inline constexpr std::string_view kOsdD3DKeyPath = "Software\\ORVA\\nVidia\\Device0\\StereoGlasses\\D3D";
inline constexpr std::string_view kOsdOpenGLKeyPath = "Software\\ORVA\\nVidia\\Device0\\StereoGlasses\\OpenGL";

// What the General page shows: the "Enable" check box and the OSD hot-key control.
struct OsdHotkeySettings {
    std::int32_t enable = 0;
    HotKey hotKey;
};

// Loads from the D3D key. Without that key, `settings` is left as it is and
// the result is false.
bool LoadOsdHotkey(platform::IProfileStore &store, OsdHotkeySettings &settings);
// Writes the D3D key, then the OpenGL key, skipping a key that does not
// exist. The hot key's modifiers are not stored.
void SaveOsdHotkey(platform::IProfileStore &store, const OsdHotkeySettings &settings);

} // namespace kestrel::overlaysettings
