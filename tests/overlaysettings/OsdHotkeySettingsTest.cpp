#include "overlaysettings/OsdHotkeySettings.h"
#include "overlaysettings/VirtualKeyMap.h"
#include "platform/store/MemoryProfileStore.h"

#include <gtest/gtest.h>

using namespace kestrel::overlaysettings;
using kestrel::platform::MemoryProfileStore;
using kestrel::platform::ProfileValue;

namespace {

constexpr std::uint8_t kF5 = 0x74;
constexpr std::uint32_t kF5ScanCode = 0x3F;
constexpr std::uint8_t kCtrlAlt = kHotKeyControl | kHotKeyAlt;

TEST(OsdHotkey, ShiftF5IsStoredAsTheScanCodeOfF5AndShownAsCtrlAltF5)
{
    MemoryProfileStore store;
    ASSERT_TRUE(store.CreateKey(std::string(kOsdD3DKeyPath)));
    ASSERT_TRUE(store.CreateKey(std::string(kOsdOpenGLKeyPath)));
    SaveOsdHotkey(store, {1, HotKey{kF5, kHotKeyShift}});
    for (auto path : {kOsdD3DKeyPath, kOsdOpenGLKeyPath}) {
        EXPECT_EQ(store.ReadValue(path, "HotkeyValue"), ProfileValue(kF5ScanCode)) << path;
        EXPECT_EQ(store.ReadValue(path, "HotkeyEnable"), ProfileValue(1u)) << path;
    }
    OsdHotkeySettings shown;
    ASSERT_TRUE(LoadOsdHotkey(store, shown));
    EXPECT_EQ(shown.enable, 1);
    EXPECT_EQ(shown.hotKey, (HotKey{kF5, kCtrlAlt}));
}

TEST(OsdHotkey, OnlyAnExistingRendererKeyIsWritten)
{
    MemoryProfileStore store;
    ASSERT_TRUE(store.CreateKey(std::string(kOsdD3DKeyPath)));
    SaveOsdHotkey(store, {1, HotKey{'V', kCtrlAlt}});
    EXPECT_EQ(store.ReadValue(kOsdD3DKeyPath, "HotkeyValue"), ProfileValue(0x2Fu));
    EXPECT_FALSE(store.KeyExists(kOsdOpenGLKeyPath)) << "the renderer's keys are never created";
}

TEST(OsdHotkey, WithoutTheD3DKeyLoadLeavesTheShownStateAndSaveCreatesNothing)
{
    MemoryProfileStore store;
    ASSERT_TRUE(store.CreateKey(std::string(kOsdOpenGLKeyPath)));
    OsdHotkeySettings shown{1, HotKey{}};
    EXPECT_FALSE(LoadOsdHotkey(store, shown));
    EXPECT_EQ(shown.enable, 1);
    EXPECT_TRUE(shown.hotKey.IsEmpty());
    SaveOsdHotkey(store, shown);
    EXPECT_FALSE(store.KeyExists(kOsdD3DKeyPath));
    EXPECT_EQ(store.ReadValue(kOsdOpenGLKeyPath, "HotkeyValue"), ProfileValue(0u))
        << "the OpenGL key is written even when the D3D key is missing";
}

TEST(OsdHotkey, MissingValuesInThePresentKeyReadAsDisabledAndEmpty)
{
    MemoryProfileStore store;
    ASSERT_TRUE(store.CreateKey(std::string(kOsdD3DKeyPath)));
    OsdHotkeySettings shown{1, HotKey{'X', kCtrlAlt}};
    ASSERT_TRUE(LoadOsdHotkey(store, shown));
    EXPECT_EQ(shown.enable, 0);
    EXPECT_TRUE(shown.hotKey.IsEmpty());
}

} // namespace
