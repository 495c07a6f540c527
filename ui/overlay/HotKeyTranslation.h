#pragma once

#include "overlaysettings/HotKey.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrel::ui::overlay {

// X11 modifier mask bits (the core protocol's KeyButMask).
inline constexpr std::uint16_t kX11ShiftMask = 0x0001;
inline constexpr std::uint16_t kX11LockMask = 0x0002;
inline constexpr std::uint16_t kX11ControlMask = 0x0004;
inline constexpr std::uint16_t kX11Mod1Mask = 0x0008; // Alt
inline constexpr std::uint16_t kX11Mod2Mask = 0x0010; // Num Lock on most keyboards
inline constexpr std::uint16_t kX11ModifierBits = 0x00FF;

// A hot key as X11 names it: the keysym to grab and the modifiers held with it.
struct X11HotKey {
    std::uint32_t keysym = 0;
    std::uint16_t modifiers = 0;
    friend bool operator==(const X11HotKey &, const X11HotKey &) = default;
};

// The keysym of a Windows virtual-key code (US layout) with the hot key's
// Shift/Ctrl/Alt flags as X11 masks. Letters grab their lower-case keysym
// (what the key produces without Shift); Return with the extended flag is
// the keypad's Enter. Empty for an empty hot key and for codes without a
// keysym (a lone modifier key, mouse buttons, IME keys).
std::optional<X11HotKey> ToX11HotKey(overlaysettings::HotKey hotKey);

// The hot key as a trigger of the freedesktop shortcuts format the
// GlobalShortcuts portal takes: modifiers CTRL, ALT, SHIFT and the xkb
// keysym name, joined by '+' ("CTRL+ALT+v"). Empty when ToX11HotKey is.
std::string PortalTrigger(overlaysettings::HotKey hotKey);

// The modifier masks to grab so that the hot key works whatever the state of
// Caps Lock and Num Lock: `modifiers` alone and with each lock bit and both.
// `numLockMask` 0 (no Num Lock key mapped) leaves those variants out.
std::vector<std::uint16_t> GrabVariants(std::uint16_t modifiers, std::uint16_t numLockMask);

// Whether a key event's modifier state is the hot key's, lock bits aside.
bool MatchesModifiers(std::uint16_t eventState, std::uint16_t modifiers, std::uint16_t numLockMask);

// Turns a held hot key into one activation. The X server repeats a held key
// as further presses when the client asked for detectable auto-repeat, else
// as release/press pairs with one timestamp; neither acts again until the
// key is let go. Only a server without detectable auto-repeat needs the
// timestamp rule, which would also swallow a press sent by a program in the
// millisecond of the release before.
class HotKeyRepeatFilter {
public:
    // Whether repeats may come as release/press pairs.
    void SetPairedRepeats(bool paired) { pairedRepeats = paired; }
    // True when this press should act.
    bool Press(std::uint32_t timeMs);
    void Release(std::uint32_t timeMs);
    void Reset();

private:
    bool pairedRepeats = true;
    bool held = false;
    std::optional<std::uint32_t> lastRelease;
};

} // namespace kestrel::ui::overlay
