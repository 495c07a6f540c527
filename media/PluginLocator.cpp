#include "media/PluginLocator.h"

#include <gst/gst.h>

#include <filesystem>
#include <system_error>

namespace kestrel::media {

namespace fs = std::filesystem;

namespace {

fs::path Normal(const std::string &path)
{
    return fs::path(path).lexically_normal();
}

// True when `path` is `folder` or lies below it.
bool IsWithin(const fs::path &path, const fs::path &folder)
{
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

bool IsDirectory(const fs::path &path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

} // namespace

PluginLocation LocatePlugins(const std::string &executable, const std::string &buildDir,
                             const std::string &buildPluginDir, const std::string &binDir,
                             const std::string &installPluginDir)
{
    if (executable.empty())
        return {};
    const fs::path exe = Normal(executable);
    if (!buildDir.empty() && IsWithin(exe, Normal(buildDir)))
        return {PluginLocation::Kind::BuildTree, Normal(buildPluginDir).string()};

    const fs::path folder = exe.parent_path();
    if (!binDir.empty() && folder.filename() == fs::path(binDir).filename()) {
        const fs::path plugins = fs::path(installPluginDir).is_absolute()
                                     ? Normal(installPluginDir)
                                     : (folder.parent_path() / installPluginDir).lexically_normal();
        if (IsDirectory(plugins))
            return {PluginLocation::Kind::InstallPrefix, plugins.string()};
    }
    return {};
}

PluginLocation LocateOwnPlugins()
{
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return LocatePlugins(exe.string(), KESTREL_BUILD_DIR, KESTREL_BUILD_PLUGIN_DIR, KESTREL_INSTALL_BINDIR,
                         KESTREL_INSTALL_PLUGIN_DIR);
}

PluginLocation ScanOwnPlugins()
{
    const PluginLocation location = LocateOwnPlugins();
    if (!location.directory.empty())
        gst_registry_scan_path(gst_registry_get(), location.directory.c_str());
    return location;
}

} // namespace kestrel::media
