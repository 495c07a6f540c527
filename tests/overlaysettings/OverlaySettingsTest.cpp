#include "overlaysettings/OverlaySettings.h"
#include "platform/store/MemoryProfileStore.h"

#include <gtest/gtest.h>

using namespace kestrel::overlaysettings;
using kestrel::platform::MemoryProfileStore;
using kestrel::platform::ProfileValue;

namespace {

const std::string kSettings = "Software\\ORVA\\Kestrel\\Settings";

TEST(OverlaySettings, EmptyStoreYieldsDefaultsAndTheFirstReadCreatesTheKeyPath)
{
    MemoryProfileStore store;
    OverlaySettings settings{1, 2, 3, 4, 5, 6};
    LoadOverlaySettings(store, settings);
    EXPECT_EQ(settings, (OverlaySettings{0, 0, 0, 0, 0x56, 6}));
    EXPECT_TRUE(store.KeyExists(kSettings));
    EXPECT_FALSE(store.ReadValue(kSettings, "Key")) << "a read must not write the defaults";
}

TEST(OverlaySettings, SignedAndClearedValuesSurviveSaveAndLoad)
{
    MemoryProfileStore store;
    const OverlaySettings saved{100, -1, -32768, 2147483647, 0, 0};
    SaveOverlaySettings(store, saved);
    EXPECT_EQ(store.ReadValue(kSettings, "PositionIndex"), ProfileValue(0xFFFFFFFFu));
    OverlaySettings loaded;
    LoadOverlaySettings(store, loaded);
    EXPECT_EQ(loaded, saved) << "a cleared hot key (0/0) must not come back as Ctrl+Alt+V";
}

TEST(OverlaySettings, ValueOfTheWrongTypeReadsAsItsDefault)
{
    MemoryProfileStore store;
    ASSERT_TRUE(store.CreateKey(kSettings));
    ASSERT_TRUE(store.WriteValue(kSettings, "Modifier", ProfileValue(std::string("6"))));
    OverlaySettings loaded;
    LoadOverlaySettings(store, loaded);
    EXPECT_EQ(loaded.modifier, 6);
}

TEST(OverlaySettings, TakingAHotKeyChangesOnlyTheLow16Bits)
{
    OverlaySettings settings;
    settings.key = static_cast<std::int32_t>(0xABCD0056u);
    settings.modifier = 0x00010006;
    EXPECT_EQ(MainHotKey(settings), (HotKey{0x56, 0x06}));
    TakeMainHotKey(settings, HotKey{0x74, kHotKeyShift});
    EXPECT_EQ(static_cast<std::uint32_t>(settings.key), 0xABCD0074u);
    EXPECT_EQ(settings.modifier, 0x00010001);
}

TEST(OverlaySettings, FailingStoreStillYieldsDefaults)
{
    MemoryProfileStore store;
    store.FailWrites(true);
    OverlaySettings settings{1, 2, 3, 4, 5, 6};
    LoadOverlaySettings(store, settings);
    EXPECT_EQ(settings, (OverlaySettings{0, 0, 0, 0, 0x56, 6}));
    SaveOverlaySettings(store, settings); // must neither throw nor crash
    EXPECT_FALSE(store.KeyExists(kSettings));
}

} // namespace
