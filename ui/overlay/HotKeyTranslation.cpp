#include "ui/overlay/HotKeyTranslation.h"

#include <algorithm>

namespace kestrel::ui::overlay {

namespace {

using overlaysettings::HotKey;

struct NamedKeysym {
    std::uint8_t virtualKey;
    std::uint32_t keysym;
    const char *name; // xkb keysym name
};

constexpr std::uint8_t kVirtualKeyReturn = 0x0D;
constexpr std::uint8_t kVirtualKeyF1 = 0x70;
constexpr int kFunctionKeyCount = 24;
constexpr std::uint32_t kKeysymF1 = 0xFFBE;
constexpr std::uint32_t kKeysymKeypadEnter = 0xFF8D;

// Virtual keys whose keysym is not their character.
constexpr NamedKeysym kNamedKeysyms[] = {
    {0x08, 0xFF08, "BackSpace"},  {0x09, 0xFF09, "Tab"},         {0x0C, 0xFF0B, "Clear"},
    {0x0D, 0xFF0D, "Return"},     {0x13, 0xFF13, "Pause"},       {0x14, 0xFFE5, "Caps_Lock"},
    {0x1B, 0xFF1B, "Escape"},     {0x20, 0x0020, "space"},       {0x21, 0xFF55, "Prior"},
    {0x22, 0xFF56, "Next"},       {0x23, 0xFF57, "End"},         {0x24, 0xFF50, "Home"},
    {0x25, 0xFF51, "Left"},       {0x26, 0xFF52, "Up"},          {0x27, 0xFF53, "Right"},
    {0x28, 0xFF54, "Down"},       {0x2C, 0xFF61, "Print"},       {0x2D, 0xFF63, "Insert"},
    {0x2E, 0xFFFF, "Delete"},     {0x5D, 0xFF67, "Menu"},
    {0x60, 0xFFB0, "KP_0"},       {0x61, 0xFFB1, "KP_1"},        {0x62, 0xFFB2, "KP_2"},
    {0x63, 0xFFB3, "KP_3"},       {0x64, 0xFFB4, "KP_4"},        {0x65, 0xFFB5, "KP_5"},
    {0x66, 0xFFB6, "KP_6"},       {0x67, 0xFFB7, "KP_7"},        {0x68, 0xFFB8, "KP_8"},
    {0x69, 0xFFB9, "KP_9"},       {0x6A, 0xFFAA, "KP_Multiply"}, {0x6B, 0xFFAB, "KP_Add"},
    {0x6C, 0xFFAC, "KP_Separator"}, {0x6D, 0xFFAD, "KP_Subtract"}, {0x6E, 0xFFAE, "KP_Decimal"},
    {0x6F, 0xFFAF, "KP_Divide"},  {0x90, 0xFF7F, "Num_Lock"},    {0x91, 0xFF14, "Scroll_Lock"},
    {0xBA, 0x003B, "semicolon"},  {0xBB, 0x003D, "equal"},       {0xBC, 0x002C, "comma"},
    {0xBD, 0x002D, "minus"},      {0xBE, 0x002E, "period"},      {0xBF, 0x002F, "slash"},
    {0xC0, 0x0060, "grave"},      {0xDB, 0x005B, "bracketleft"}, {0xDC, 0x005C, "backslash"},
    {0xDD, 0x005D, "bracketright"}, {0xDE, 0x0027, "apostrophe"},
};

struct Keysym {
    std::uint32_t value;
    std::string name;
};

std::optional<Keysym> KeysymOf(HotKey hotKey)
{
    const std::uint8_t vk = hotKey.virtualKey;
    if (vk >= 'A' && vk <= 'Z') {
        const char lower = static_cast<char>('a' + (vk - 'A'));
        return Keysym{static_cast<std::uint32_t>(lower), std::string(1, lower)};
    }
    if (vk >= '0' && vk <= '9')
        return Keysym{vk, std::string(1, static_cast<char>(vk))};
    if (vk >= kVirtualKeyF1 && vk < kVirtualKeyF1 + kFunctionKeyCount) {
        const int number = vk - kVirtualKeyF1 + 1;
        return Keysym{kKeysymF1 + static_cast<std::uint32_t>(number - 1), "F" + std::to_string(number)};
    }
    if (vk == kVirtualKeyReturn && (hotKey.modifiers & overlaysettings::kHotKeyExtended))
        return Keysym{kKeysymKeypadEnter, "KP_Enter"};
    for (const NamedKeysym &entry : kNamedKeysyms)
        if (entry.virtualKey == vk)
            return Keysym{entry.keysym, entry.name};
    return std::nullopt;
}

} // namespace

std::optional<X11HotKey> ToX11HotKey(HotKey hotKey)
{
    if (hotKey.IsEmpty())
        return std::nullopt;
    const auto keysym = KeysymOf(hotKey);
    if (!keysym)
        return std::nullopt;
    X11HotKey x11{keysym->value, 0};
    if (hotKey.modifiers & overlaysettings::kHotKeyShift)
        x11.modifiers |= kX11ShiftMask;
    if (hotKey.modifiers & overlaysettings::kHotKeyControl)
        x11.modifiers |= kX11ControlMask;
    if (hotKey.modifiers & overlaysettings::kHotKeyAlt)
        x11.modifiers |= kX11Mod1Mask;
    return x11;
}

std::string PortalTrigger(HotKey hotKey)
{
    if (hotKey.IsEmpty())
        return {};
    const auto keysym = KeysymOf(hotKey);
    if (!keysym)
        return {};
    std::string trigger;
    if (hotKey.modifiers & overlaysettings::kHotKeyControl)
        trigger += "CTRL+";
    if (hotKey.modifiers & overlaysettings::kHotKeyAlt)
        trigger += "ALT+";
    if (hotKey.modifiers & overlaysettings::kHotKeyShift)
        trigger += "SHIFT+";
    return trigger + keysym->name;
}

std::vector<std::uint16_t> GrabVariants(std::uint16_t modifiers, std::uint16_t numLockMask)
{
    std::vector<std::uint16_t> variants;
    for (std::uint16_t extra : {std::uint16_t{0}, kX11LockMask, numLockMask,
                                static_cast<std::uint16_t>(kX11LockMask | numLockMask)}) {
        const auto mask = static_cast<std::uint16_t>(modifiers | extra);
        if (std::find(variants.begin(), variants.end(), mask) == variants.end())
            variants.push_back(mask);
    }
    return variants;
}

bool MatchesModifiers(std::uint16_t eventState, std::uint16_t modifiers, std::uint16_t numLockMask)
{
    const auto locks = static_cast<std::uint16_t>(kX11LockMask | numLockMask);
    return (eventState & kX11ModifierBits & ~locks) == (modifiers & ~locks);
}

bool HotKeyRepeatFilter::Press(std::uint32_t timeMs)
{
    if (held)
        return false; // a repeat without a release between
    held = true;
    // An auto-repeat release comes with the next press, at the same time.
    return !(pairedRepeats && lastRelease && *lastRelease == timeMs);
}

void HotKeyRepeatFilter::Release(std::uint32_t timeMs)
{
    held = false;
    lastRelease = timeMs;
}

void HotKeyRepeatFilter::Reset()
{
    held = false;
    lastRelease.reset();
}

} // namespace kestrel::ui::overlay
