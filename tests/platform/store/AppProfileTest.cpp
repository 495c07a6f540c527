#include "platform/store/AppProfile.h"
#include "platform/store/MemoryProfileStore.h"

#include <gtest/gtest.h>

using namespace kestrel::platform;

TEST(AppProfile, FirstReadCreatesTheSectionAndYieldsTheDefault)
{
    MemoryProfileStore store;
    AppProfile profile(store);
    EXPECT_EQ(profile.GetProfileInt("Settings", "VideoInputDeviceIndex", 7), 7);
    EXPECT_TRUE(store.KeyExists("Software\\ORVA\\Kestrel\\Settings"));
    EXPECT_EQ(profile.GetProfileString("Recent File List", "File1", "none"), "none");
    EXPECT_TRUE(store.KeyExists("Software\\ORVA\\Kestrel\\Recent File List"));
}

TEST(AppProfile, NegativeNumbersRoundTripAndWrongTypesReadAsDefault)
{
    MemoryProfileStore store;
    AppProfile profile(store);
    ASSERT_TRUE(profile.WriteProfileInt("Settings", "PositionIndex", -1));
    EXPECT_EQ(profile.GetProfileInt("Settings", "PositionIndex", 0), -1);
    ASSERT_TRUE(profile.WriteProfileString("Settings", "VideoInputDevice", "USB Camera"));
    EXPECT_EQ(profile.GetProfileInt("Settings", "VideoInputDevice", 3), 3);
    EXPECT_EQ(profile.GetProfileString("Settings", "PositionIndex", "x"), "x");
}

TEST(AppProfile, FailedStoreYieldsDefaultsAndReportsFailedWrites)
{
    MemoryProfileStore store;
    store.FailWrites(true);
    AppProfile profile(store);
    EXPECT_EQ(profile.GetProfileInt("Settings", "Key", 86), 86);
    EXPECT_FALSE(profile.WriteProfileInt("Settings", "Key", 1));
    EXPECT_FALSE(profile.WriteProfileString("Settings", "VideoInputDevice", "cam"));
}
