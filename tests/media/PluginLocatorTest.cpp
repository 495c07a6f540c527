#include "media/PluginLocator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace kestrel::media;
namespace fs = std::filesystem;

namespace {

const char *const kPluginDir = "lib/x86_64-linux-gnu/gstreamer-1.0";

class PluginLocator : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrel-locator-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        prefix = pattern;
        fs::create_directories(prefix / "bin");
    }
    void TearDown() override { fs::remove_all(prefix); }

    PluginLocation Locate(const fs::path &exe)
    {
        return LocatePlugins(exe.string(), "/work/build", "/work/build/gst-plugins", "bin", kPluginDir);
    }

    fs::path prefix;
};

} // namespace

TEST_F(PluginLocator, AProgramInTheBuildTreeUsesTheBuildTreesPlugins)
{
    const PluginLocation location = Locate("/work/build/ui/kestrel");
    EXPECT_EQ(location.kind, PluginLocation::Kind::BuildTree);
    EXPECT_EQ(location.directory, "/work/build/gst-plugins");
    EXPECT_EQ(Locate("/work/build/tests/media/../../kestrel").kind, PluginLocation::Kind::BuildTree);
}

TEST_F(PluginLocator, AnInstalledProgramUsesItsPrefixsPluginFolder)
{
    fs::create_directories(prefix / kPluginDir);
    const PluginLocation location = Locate(prefix / "bin" / "kestrel");
    EXPECT_EQ(location.kind, PluginLocation::Kind::InstallPrefix);
    EXPECT_EQ(location.directory, (prefix / kPluginDir).string());

    const PluginLocation absolute =
        LocatePlugins((prefix / "bin" / "kestrel").string(), "/work/build", "/work/build/gst-plugins", "bin",
                      (prefix / kPluginDir).string());
    EXPECT_EQ(absolute.directory, (prefix / kPluginDir).string());
}

TEST_F(PluginLocator, NeitherCaseLeavesGStreamersOwnPaths)
{
    EXPECT_EQ(Locate(prefix / "bin" / "kestrel").kind, PluginLocation::Kind::None) << "no plugin folder";
    fs::create_directories(prefix / kPluginDir);
    EXPECT_EQ(Locate(prefix / "kestrel").kind, PluginLocation::Kind::None) << "not in bin/";
    EXPECT_EQ(Locate("/work/buildings/kestrel").kind, PluginLocation::Kind::None) << "a sibling is not inside";
    EXPECT_EQ(Locate("/work/build/../other/kestrel").kind, PluginLocation::Kind::None);
    EXPECT_EQ(Locate("").kind, PluginLocation::Kind::None);
}
