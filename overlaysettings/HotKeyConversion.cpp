#include "overlaysettings/HotKeyConversion.h"

namespace kestrel::overlaysettings {

namespace {

struct NamedKey {
    int qtKey;
    std::uint8_t virtualKey;
    bool extended;
};

// Keys whose code is not simply their character. The first entry for a
// virtual key is the one it is shown as.
constexpr NamedKey kNamedKeys[] = {
    {Qt::Key_Backspace, 0x08, false}, {Qt::Key_Tab, 0x09, false},       {Qt::Key_Backtab, 0x09, false},
    {Qt::Key_Clear, 0x0C, false},     {Qt::Key_Return, 0x0D, false},    {Qt::Key_Pause, 0x13, false},
    {Qt::Key_CapsLock, 0x14, false},  {Qt::Key_Escape, 0x1B, false},    {Qt::Key_Space, 0x20, false},
    {Qt::Key_PageUp, 0x21, true},     {Qt::Key_PageDown, 0x22, true},   {Qt::Key_End, 0x23, true},
    {Qt::Key_Home, 0x24, true},       {Qt::Key_Left, 0x25, true},       {Qt::Key_Up, 0x26, true},
    {Qt::Key_Right, 0x27, true},      {Qt::Key_Down, 0x28, true},       {Qt::Key_Print, 0x2C, true},
    {Qt::Key_Insert, 0x2D, true},     {Qt::Key_Delete, 0x2E, true},     {Qt::Key_Menu, 0x5D, true},
    {Qt::Key_NumLock, 0x90, true},    {Qt::Key_ScrollLock, 0x91, false},
    {Qt::Key_Semicolon, 0xBA, false}, {Qt::Key_Equal, 0xBB, false},     {Qt::Key_Comma, 0xBC, false},
    {Qt::Key_Minus, 0xBD, false},     {Qt::Key_Period, 0xBE, false},    {Qt::Key_Slash, 0xBF, false},
    {Qt::Key_QuoteLeft, 0xC0, false}, {Qt::Key_BracketLeft, 0xDB, false}, {Qt::Key_Backslash, 0xDC, false},
    {Qt::Key_BracketRight, 0xDD, false}, {Qt::Key_Apostrophe, 0xDE, false},
    // Shifted symbols of a US keyboard: the key that carries them.
    {Qt::Key_Exclam, 0x31, false},    {Qt::Key_At, 0x32, false},        {Qt::Key_NumberSign, 0x33, false},
    {Qt::Key_Dollar, 0x34, false},    {Qt::Key_Percent, 0x35, false},   {Qt::Key_AsciiCircum, 0x36, false},
    {Qt::Key_Ampersand, 0x37, false}, {Qt::Key_Asterisk, 0x38, false},  {Qt::Key_ParenLeft, 0x39, false},
    {Qt::Key_ParenRight, 0x30, false}, {Qt::Key_Underscore, 0xBD, false}, {Qt::Key_Plus, 0xBB, false},
    {Qt::Key_BraceLeft, 0xDB, false}, {Qt::Key_BraceRight, 0xDD, false}, {Qt::Key_Colon, 0xBA, false},
    {Qt::Key_QuoteDbl, 0xDE, false},  {Qt::Key_AsciiTilde, 0xC0, false}, {Qt::Key_Bar, 0xDC, false},
    {Qt::Key_Less, 0xBC, false},      {Qt::Key_Greater, 0xBE, false},   {Qt::Key_Question, 0xBF, false},
};

// Keys of the numeric keypad, which Qt reports with the keypad modifier.
constexpr NamedKey kKeypadKeys[] = {
    {Qt::Key_0, 0x60, false},        {Qt::Key_1, 0x61, false},     {Qt::Key_2, 0x62, false},
    {Qt::Key_3, 0x63, false},        {Qt::Key_4, 0x64, false},     {Qt::Key_5, 0x65, false},
    {Qt::Key_6, 0x66, false},        {Qt::Key_7, 0x67, false},     {Qt::Key_8, 0x68, false},
    {Qt::Key_9, 0x69, false},        {Qt::Key_Asterisk, 0x6A, false}, {Qt::Key_Plus, 0x6B, false},
    {Qt::Key_Minus, 0x6D, false},    {Qt::Key_Period, 0x6E, false}, {Qt::Key_Slash, 0x6F, true},
    {Qt::Key_Enter, 0x0D, true},
};

constexpr std::uint8_t kVirtualKeyF1 = 0x70;
constexpr int kFunctionKeyCount = 24;

std::optional<NamedKey> FindByQtKey(int qtKey, bool keypad)
{
    if (keypad) {
        for (const NamedKey &entry : kKeypadKeys)
            if (entry.qtKey == qtKey)
                return entry;
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return NamedKey{qtKey, static_cast<std::uint8_t>('A' + (qtKey - Qt::Key_A)), false};
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return NamedKey{qtKey, static_cast<std::uint8_t>('0' + (qtKey - Qt::Key_0)), false};
    if (qtKey >= Qt::Key_F1 && qtKey < Qt::Key_F1 + kFunctionKeyCount)
        return NamedKey{qtKey, static_cast<std::uint8_t>(kVirtualKeyF1 + (qtKey - Qt::Key_F1)), false};
    if (qtKey == Qt::Key_Enter)
        return NamedKey{qtKey, 0x0D, true};
    for (const NamedKey &entry : kNamedKeys)
        if (entry.qtKey == qtKey)
            return entry;
    return std::nullopt;
}

// The Qt key (and whether it is on the keypad) that shows a virtual key.
std::optional<std::pair<int, bool>> FindByVirtualKey(std::uint8_t virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::pair{Qt::Key_A + (virtualKey - 'A'), false};
    if (virtualKey >= '0' && virtualKey <= '9')
        return std::pair{Qt::Key_0 + (virtualKey - '0'), false};
    if (virtualKey >= kVirtualKeyF1 && virtualKey < kVirtualKeyF1 + kFunctionKeyCount)
        return std::pair{Qt::Key_F1 + (virtualKey - kVirtualKeyF1), false};
    for (const NamedKey &entry : kNamedKeys)
        if (entry.virtualKey == virtualKey)
            return std::pair{entry.qtKey, false};
    for (const NamedKey &entry : kKeypadKeys)
        if (entry.virtualKey == virtualKey)
            return std::pair{entry.qtKey, true};
    return std::nullopt;
}

bool IsModifierKey(int qtKey)
{
    return qtKey == Qt::Key_Shift || qtKey == Qt::Key_Control || qtKey == Qt::Key_Alt || qtKey == Qt::Key_Meta ||
           qtKey == Qt::Key_AltGr || qtKey == Qt::Key_Super_L || qtKey == Qt::Key_Super_R;
}

} // namespace

std::optional<HotKey> HotKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (IsModifierKey(qtKey))
        return std::nullopt;
    const auto found = FindByQtKey(qtKey, modifiers.testFlag(Qt::KeypadModifier));
    if (!found)
        return std::nullopt;
    std::uint8_t flags = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        flags |= kHotKeyShift;
    if (modifiers.testFlag(Qt::ControlModifier))
        flags |= kHotKeyControl;
    if (modifiers.testFlag(Qt::AltModifier))
        flags |= kHotKeyAlt;
    if (found->extended)
        flags |= kHotKeyExtended;
    return HotKey{found->virtualKey, flags};
}

QKeySequence KeySequenceFromHotKey(HotKey hotKey)
{
    if (hotKey.IsEmpty())
        return {};
    const auto found = FindByVirtualKey(hotKey.virtualKey);
    if (!found)
        return {};
    Qt::KeyboardModifiers modifiers;
    if (hotKey.modifiers & kHotKeyShift)
        modifiers |= Qt::ShiftModifier;
    if (hotKey.modifiers & kHotKeyControl)
        modifiers |= Qt::ControlModifier;
    if (hotKey.modifiers & kHotKeyAlt)
        modifiers |= Qt::AltModifier;
    if (found->second)
        modifiers |= Qt::KeypadModifier;
    return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(found->first)));
}

} // namespace kestrel::overlaysettings
