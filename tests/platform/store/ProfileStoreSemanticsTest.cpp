// The registry semantics every store must keep, checked on the file-backed
// store and on the in-memory fake alike.
#include "platform/store/FileProfileStore.h"
#include "platform/store/MemoryProfileStore.h"
#include "tests/platform/store/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kestrel::platform;

namespace {

struct FileStoreFixture {
    kestrel::testing::TemporaryDirectory directory;
    FileProfileStore store{directory.Path() / "kestrel" / "kestrel.reg"};
};

struct MemoryStoreFixture {
    MemoryProfileStore store;
};

template <typename Fixture>
class ProfileStoreSemantics : public ::testing::Test {
protected:
    Fixture fixture;
    IProfileStore &store = fixture.store;
};

using StoreKinds = ::testing::Types<FileStoreFixture, MemoryStoreFixture>;
TYPED_TEST_SUITE(ProfileStoreSemantics, StoreKinds);

TYPED_TEST(ProfileStoreSemantics, KeyNamesDifferingOnlyInCaseAreOneKey)
{
    IProfileStore &store = this->store;
    ASSERT_TRUE(store.CreateKey("Software\\ORVA\\Kestrel"));
    ASSERT_TRUE(store.WriteValue("Software\\Orva\\Kestrel", "Win2KInstall", ProfileValue(1u)));
    EXPECT_TRUE(store.KeyExists("SOFTWARE\\orva\\KESTREL"));
    EXPECT_EQ(store.ReadValue("software\\orva\\kestrel", "win2kinstall"), ProfileValue(1u))
        << "value names are matched without case too";
    ASSERT_TRUE(store.WriteValue("Software\\ORVA\\Kestrel", "WIN2KINSTALL", ProfileValue(0u)));
    EXPECT_EQ(store.ReadValue("Software\\ORVA\\Kestrel", "Win2KInstall"), ProfileValue(0u))
        << "a write under another spelling must replace the value, not add a second one";
}

TYPED_TEST(ProfileStoreSemantics, WritingToAMissingKeyFailsInsteadOfCreatingIt)
{
    IProfileStore &store = this->store;
    EXPECT_FALSE(store.WriteValue("Software\\ORVA\\nVidia\\Device0\\StereoGlasses\\D3D", "HotkeyEnable",
                                  ProfileValue(1u)));
    EXPECT_FALSE(store.KeyExists("Software\\ORVA\\nVidia\\Device0\\StereoGlasses\\D3D"));
    EXPECT_FALSE(store.KeyExists("Software")) << "a failed write must not leave parent keys behind";
}

TYPED_TEST(ProfileStoreSemantics, CreateOnOpenMakesEveryKeyAlongThePath)
{
    IProfileStore &store = this->store;
    ASSERT_TRUE(store.CreateKey("Software\\ORVA\\Kestrel\\Settings"));
    EXPECT_TRUE(store.KeyExists("Software"));
    EXPECT_TRUE(store.KeyExists("Software\\ORVA"));
    EXPECT_TRUE(store.KeyExists("Software\\ORVA\\Kestrel\\Settings"));
    EXPECT_TRUE(store.CreateKey("Software\\ORVA\\Kestrel\\Settings")) << "opening an existing key succeeds";
}

TYPED_TEST(ProfileStoreSemantics, DeleteKeyTreeTakesSubkeysAndValuesButNotSiblings)
{
    IProfileStore &store = this->store;
    ASSERT_TRUE(store.CreateKey("Software\\ORVA\\Kestrel\\Settings"));
    ASSERT_TRUE(store.CreateKey("Software\\ORVA\\nVidia\\Device0"));
    ASSERT_TRUE(store.WriteValue("Software\\ORVA\\Kestrel\\Settings", "PosX", ProfileValue(5u)));
    EXPECT_TRUE(store.DeleteKeyTree("software\\orva\\kestrel"));
    EXPECT_FALSE(store.KeyExists("Software\\ORVA\\Kestrel\\Settings"));
    EXPECT_FALSE(store.ReadValue("Software\\ORVA\\Kestrel\\Settings", "PosX"));
    EXPECT_TRUE(store.KeyExists("Software\\ORVA\\nVidia\\Device0"));
    EXPECT_FALSE(store.DeleteKeyTree("Software\\ORVA\\Kestrel")) << "deleting a missing key reports failure";
    EXPECT_FALSE(store.DeleteKeyTree("")) << "the root cannot be deleted";
}

TYPED_TEST(ProfileStoreSemantics, MalformedKeyPathsAreRefused)
{
    IProfileStore &store = this->store;
    for (const char *path : {"\\Software", "Software\\", "Software\\\\ORVA", "Soft]ware", "Soft\nware"}) {
        EXPECT_FALSE(store.CreateKey(path)) << path;
        EXPECT_FALSE(store.KeyExists(path)) << path;
    }
    EXPECT_FALSE(store.CreateKey(std::string(256, 'k')));
    EXPECT_TRUE(store.CreateKey(std::string(255, 'k')));
}

TYPED_TEST(ProfileStoreSemantics, ValuesKeepTheirTypeAndAll32Bits)
{
    IProfileStore &store = this->store;
    ASSERT_TRUE(store.CreateKey("Software\\ORVA\\Kestrel\\Recent File List"));
    const std::string key = "Software\\ORVA\\Kestrel\\Recent File List";
    ASSERT_TRUE(store.WriteValue(key, "File1", ProfileValue(std::string("192.168.0.7"))));
    ASSERT_TRUE(store.WriteValue(key, "Count", ProfileValue(0xFFFFFFFFu)));
    EXPECT_EQ(store.ReadValue(key, "File1"), ProfileValue(std::string("192.168.0.7")));
    EXPECT_EQ(store.ReadValue(key, "Count"), ProfileValue(0xFFFFFFFFu));
    ASSERT_TRUE(store.WriteValue(key, "Count", ProfileValue(std::string("now a string"))));
    EXPECT_EQ(store.ReadValue(key, "Count"), ProfileValue(std::string("now a string")));
    EXPECT_TRUE(store.DeleteValue(key, "count"));
    EXPECT_FALSE(store.ReadValue(key, "Count"));
    EXPECT_FALSE(store.DeleteValue(key, "Count"));
}

} // namespace
