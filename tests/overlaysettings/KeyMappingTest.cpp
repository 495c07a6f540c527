#include "overlaysettings/HotKeyConversion.h"
#include "overlaysettings/VirtualKeyMap.h"

#include <gtest/gtest.h>

using namespace kestrel::overlaysettings;

namespace {

std::uint32_t ToScan(std::uint32_t virtualKey)
{
    return MapVirtualKey(virtualKey, KeyMapType::VirtualKeyToScanCode);
}

std::uint32_t ToVirtualKey(std::uint32_t scanCode)
{
    return MapVirtualKey(scanCode, KeyMapType::ScanCodeToVirtualKey);
}

TEST(VirtualKeyMap, EveryMappedScanCodeComesBackToItself)
{
    int mapped = 0;
    for (std::uint32_t scan = 0; scan < 0x100; ++scan) {
        const std::uint32_t virtualKey = ToVirtualKey(scan);
        // Right Shift comes back as plain Shift, whose own scan code is the left one's.
        if (virtualKey == 0 || scan == 0x36)
            continue;
        ++mapped;
        EXPECT_EQ(ToScan(virtualKey), scan) << std::hex << "scan 0x" << scan << " vk 0x" << virtualKey;
    }
    EXPECT_GE(mapped, 90) << "the whole main block, function keys and keypad must be covered";
}

TEST(VirtualKeyMap, SharedScanCodesMapBackToTheNavigationAndPlainModifierKeys)
{
    EXPECT_EQ(ToScan('V'), 0x2Fu);
    EXPECT_EQ(ToScan(0x7A), 0x57u) << "F11 is not in the F1..F10 run";
    EXPECT_EQ(ToScan(0x26), 0x48u) << "Up";
    EXPECT_EQ(ToScan(0x68), 0x48u) << "keypad 8 shares the scan code of Up";
    EXPECT_EQ(ToVirtualKey(0x48), 0x26u);
    EXPECT_EQ(ToVirtualKey(0x53), 0x2Eu) << "Delete, not keypad '.'";
    EXPECT_EQ(ToVirtualKey(0x35), 0xBFu) << "'/', not keypad '/'";
    EXPECT_EQ(ToVirtualKey(0x2A), 0x10u);
    EXPECT_EQ(ToVirtualKey(0x36), 0x10u) << "right Shift comes back as plain Shift";
    EXPECT_EQ(ToVirtualKey(0x1D), 0x11u);
    EXPECT_EQ(ToScan(0xA3), 0x1Du) << "right Ctrl";
    EXPECT_EQ(ToScan(0x0100 | 'V'), 0u) << "codes beyond a byte have no mapping";
    EXPECT_EQ(ToVirtualKey(0xE048), 0u);
    EXPECT_EQ(ToScan(0xFF), 0u);
}

TEST(HotKeyConversion, ShiftedSymbolsAndLettersBecomeTheirKeyWithFlags)
{
    EXPECT_EQ(HotKeyFromQt(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier), (HotKey{0x56, 0x06}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_Percent, Qt::ShiftModifier), (HotKey{'5', kHotKeyShift}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_F5, Qt::ShiftModifier), (HotKey{0x74, kHotKeyShift}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_Up, Qt::AltModifier), (HotKey{0x26, kHotKeyAlt | kHotKeyExtended}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_5, Qt::KeypadModifier), (HotKey{0x65, 0}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_Slash, Qt::KeypadModifier), (HotKey{0x6F, kHotKeyExtended}));
    EXPECT_EQ(HotKeyFromQt(Qt::Key_A, Qt::MetaModifier), (HotKey{'A', 0})) << "Meta has no flag";
    EXPECT_FALSE(HotKeyFromQt(Qt::Key_Control, Qt::ControlModifier)) << "a lone modifier is no hot key";
    EXPECT_FALSE(HotKeyFromQt(Qt::Key_VolumeUp, Qt::NoModifier));
}

TEST(HotKeyConversion, StoredHotKeysAreShownAsTheKeysTheyName)
{
    EXPECT_EQ(KeySequenceFromHotKey({0x74, 0x06}), QKeySequence(QStringLiteral("Ctrl+Alt+F5")));
    EXPECT_EQ(KeySequenceFromHotKey({0x56, 0x06}), QKeySequence(QStringLiteral("Ctrl+Alt+V")));
    EXPECT_EQ(KeySequenceFromHotKey({0x26, kHotKeyExtended}), QKeySequence(Qt::Key_Up));
    EXPECT_EQ(KeySequenceFromHotKey({0xBD, kHotKeyShift}), QKeySequence(QStringLiteral("Shift+-")))
        << "a key is shown by its own symbol, not its shifted one";
    EXPECT_TRUE(KeySequenceFromHotKey({0, 0x06}).isEmpty());
    EXPECT_TRUE(KeySequenceFromHotKey({0xFF, 0}).isEmpty());
    for (int qtKey : {int(Qt::Key_A), int(Qt::Key_9), int(Qt::Key_F12), int(Qt::Key_Insert), int(Qt::Key_Space),
                      int(Qt::Key_Semicolon), int(Qt::Key_Escape)}) {
        const auto hotKey = HotKeyFromQt(qtKey, Qt::ControlModifier);
        ASSERT_TRUE(hotKey) << qtKey;
        EXPECT_EQ(KeySequenceFromHotKey(*hotKey), QKeySequence(QKeyCombination(Qt::ControlModifier, Qt::Key(qtKey))));
    }
}

} // namespace
