#pragma once

#include <cstdint>

namespace kestrel::overlaysettings {

// Modifier flags of a hot key, as the overlay renderer reads them.
inline constexpr std::uint8_t kHotKeyShift = 0x01;
inline constexpr std::uint8_t kHotKeyControl = 0x02;
inline constexpr std::uint8_t kHotKeyAlt = 0x04;
inline constexpr std::uint8_t kHotKeyExtended = 0x08;

// The value of a hot-key control: a virtual-key code and modifier flags,
// packed as one 16-bit word (low byte key, high byte modifiers).
struct HotKey {
    std::uint8_t virtualKey = 0;
    std::uint8_t modifiers = 0;

    bool IsEmpty() const { return virtualKey == 0; }
    std::uint16_t Word() const { return static_cast<std::uint16_t>(virtualKey | (modifiers << 8)); }
    static HotKey FromWord(std::uint16_t word)
    {
        return {static_cast<std::uint8_t>(word & 0xFF), static_cast<std::uint8_t>(word >> 8)};
    }
    friend bool operator==(const HotKey &, const HotKey &) = default;
};

} // namespace kestrel::overlaysettings
