#include "ui/overlay/HotKeyTranslation.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrel::ui::overlay {
namespace {

using overlaysettings::HotKey;
using overlaysettings::kHotKeyAlt;
using overlaysettings::kHotKeyControl;
using overlaysettings::kHotKeyExtended;
using overlaysettings::kHotKeyShift;

constexpr std::uint8_t kCtrlAlt = kHotKeyControl | kHotKeyAlt;

TEST(HotKeyTranslation, TheDefaultCtrlAltVGrabsLowerCaseVWithControlAndMod1)
{
    EXPECT_EQ(ToX11HotKey({0x56, kCtrlAlt}), (X11HotKey{0x76, kX11ControlMask | kX11Mod1Mask}));
    EXPECT_EQ(PortalTrigger({0x56, kCtrlAlt}), "CTRL+ALT+v");
}

TEST(HotKeyTranslation, KeysOutsideTheLettersGetTheirKeysyms)
{
    EXPECT_EQ(ToX11HotKey({0x74, kHotKeyShift}), (X11HotKey{0xFFC2, kX11ShiftMask})); // Shift+F5
    EXPECT_EQ(ToX11HotKey({0x87, 0}), (X11HotKey{0xFFD5, 0}));                      // F24
    EXPECT_EQ(ToX11HotKey({0x35, kHotKeyAlt}), (X11HotKey{0x35, kX11Mod1Mask}));      // Alt+5
    EXPECT_EQ(ToX11HotKey({0x2E, kHotKeyControl | kHotKeyExtended}), (X11HotKey{0xFFFF, kX11ControlMask})); // Delete
    EXPECT_EQ(ToX11HotKey({0x61, 0}), (X11HotKey{0xFFB1, 0}));                      // keypad 1
    EXPECT_EQ(ToX11HotKey({0xC0, kHotKeyControl}), (X11HotKey{0x60, kX11ControlMask})); // Ctrl+`
    EXPECT_EQ(PortalTrigger({0x74, kHotKeyShift}), "SHIFT+F5");
    EXPECT_EQ(PortalTrigger({0x21, kCtrlAlt | kHotKeyShift | kHotKeyExtended}), "CTRL+ALT+SHIFT+Prior");
    EXPECT_EQ(PortalTrigger({0xBF, kHotKeyControl}), "CTRL+slash");
}

TEST(HotKeyTranslation, ReturnWithTheExtendedFlagIsTheKeypadEnter)
{
    EXPECT_EQ(ToX11HotKey({0x0D, kHotKeyControl}), (X11HotKey{0xFF0D, kX11ControlMask}));
    EXPECT_EQ(ToX11HotKey({0x0D, kHotKeyControl | kHotKeyExtended}), (X11HotKey{0xFF8D, kX11ControlMask}));
    EXPECT_EQ(PortalTrigger({0x0D, kHotKeyExtended}), "KP_Enter");
}

TEST(HotKeyTranslation, NoHotKeyAndKeysWithoutKeysymBindNothing)
{
    EXPECT_FALSE(ToX11HotKey({0, 0}));
    EXPECT_FALSE(ToX11HotKey({0, kCtrlAlt})); // "Key" 0 with modifiers left: still none
    EXPECT_FALSE(ToX11HotKey({0x10, kHotKeyControl})); // VK_SHIFT alone
    EXPECT_FALSE(ToX11HotKey({0x01, 0}));              // a mouse button
    EXPECT_EQ(PortalTrigger({0, 0}), "");
    EXPECT_EQ(PortalTrigger({0x10, kHotKeyControl}), "");
}

TEST(HotKeyGrab, EveryLockStateIsGrabbedOnce)
{
    const std::uint16_t ctrlAlt = kX11ControlMask | kX11Mod1Mask;
    std::vector<std::uint16_t> variants = GrabVariants(ctrlAlt, kX11Mod2Mask);
    std::sort(variants.begin(), variants.end());
    EXPECT_EQ(variants, (std::vector<std::uint16_t>{
                            ctrlAlt, ctrlAlt | kX11LockMask, ctrlAlt | kX11Mod2Mask,
                            ctrlAlt | kX11LockMask | kX11Mod2Mask}));
    // Without a Num Lock key only Caps Lock doubles the grab.
    EXPECT_EQ(GrabVariants(ctrlAlt, 0), (std::vector<std::uint16_t>{ctrlAlt, ctrlAlt | kX11LockMask}));
    // Num Lock on another modifier (Mod3 here) is followed.
    EXPECT_EQ(GrabVariants(0, 0x20).size(), 4u);
}

TEST(HotKeyGrab, EventsMatchWhateverTheLocksAndOnlyWithTheExactModifiers)
{
    const std::uint16_t ctrlAlt = kX11ControlMask | kX11Mod1Mask;
    EXPECT_TRUE(MatchesModifiers(ctrlAlt, ctrlAlt, kX11Mod2Mask));
    EXPECT_TRUE(MatchesModifiers(ctrlAlt | kX11LockMask | kX11Mod2Mask, ctrlAlt, kX11Mod2Mask));
    EXPECT_TRUE(MatchesModifiers(ctrlAlt | 0x0100 /* Button1 held */, ctrlAlt, kX11Mod2Mask));
    EXPECT_FALSE(MatchesModifiers(ctrlAlt | kX11ShiftMask, ctrlAlt, kX11Mod2Mask));
    EXPECT_FALSE(MatchesModifiers(kX11ControlMask, ctrlAlt, kX11Mod2Mask));
}

TEST(HotKeyRepeat, AHeldKeyActsOnceInEitherRepeatMode)
{
    HotKeyRepeatFilter filter;
    // The server's release/press pairs share one timestamp.
    EXPECT_TRUE(filter.Press(1000));
    filter.Release(1500);
    EXPECT_FALSE(filter.Press(1500));
    filter.Release(1530);
    EXPECT_FALSE(filter.Press(1530));
    filter.Release(1700); // let go
    EXPECT_TRUE(filter.Press(2400));
    // Detectable auto-repeat: presses only, until the release.
    EXPECT_FALSE(filter.Press(2900));
    EXPECT_FALSE(filter.Press(2930));
    filter.Release(3000);
    EXPECT_TRUE(filter.Press(3100));
}

TEST(HotKeyRepeat, WithDetectableRepeatsAPressInTheReleasesMillisecondActs)
{
    HotKeyRepeatFilter filter;
    filter.SetPairedRepeats(false);
    EXPECT_TRUE(filter.Press(10));
    filter.Release(20);
    EXPECT_TRUE(filter.Press(20)); // a program sending the hot key twice
    EXPECT_FALSE(filter.Press(25));
}

TEST(HotKeyRepeat, QuickSeparatePressesEachAct)
{
    HotKeyRepeatFilter filter;
    EXPECT_TRUE(filter.Press(10));
    filter.Release(60);
    EXPECT_TRUE(filter.Press(61));
    filter.Release(90);
    filter.Reset(); // a new grab forgets the old key's state
    EXPECT_TRUE(filter.Press(90));
}

} // namespace
} // namespace kestrel::ui::overlay
