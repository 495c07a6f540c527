#pragma once

#include <cstdint>

namespace kestrel::overlaysettings {

// The two directions of the keyboard mapping the overlay renderer relies on.
enum class KeyMapType {
    VirtualKeyToScanCode = 0,
    ScanCodeToVirtualKey = 1,
};

// Windows virtual-key codes (US layout) to PC set-1 scan codes and back, as
// fixed tables. 0 when the code has no counterpart. Extended keys share the
// scan code of their keypad twin (the arrows map to 0x48, 0x4B...), so the
// way back yields the navigation key, and left/right modifier keys come back
// as the plain Shift, Ctrl and Alt keys.
std::uint32_t MapVirtualKey(std::uint32_t code, KeyMapType type);

} // namespace kestrel::overlaysettings
