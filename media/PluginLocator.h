#pragma once

#include <string>

namespace kestrel::media {

// Where Kestrel's own GStreamer plugins (Tideline, the outside filters) are
// when no GST_PLUGIN_PATH points at them.
struct PluginLocation {
    enum class Kind {
        None,          // neither case applies: only GStreamer's own paths
        BuildTree,     // the program runs from the build tree that made it
        InstallPrefix, // the program runs from <prefix>/bin
    };
    Kind kind = Kind::None;
    std::string directory; // the plugin folder, empty for None
};

// Decides from the running executable's path: below `buildDir` it is the
// build tree's `buildPluginDir`; in a folder named `binDir` whose prefix
// holds `installPluginDir` (relative to the prefix, or absolute) it is that
// folder. Paths are compared after resolving "." and "..", not links.
PluginLocation LocatePlugins(const std::string &executable, const std::string &buildDir,
                             const std::string &buildPluginDir, const std::string &binDir,
                             const std::string &installPluginDir);

// The same for this build and this process (/proc/self/exe).
PluginLocation LocateOwnPlugins();

// Scans the folder LocateOwnPlugins finds into GStreamer's registry (after
// gst_init) and returns it, so elements are found by long name afterwards.
PluginLocation ScanOwnPlugins();

} // namespace kestrel::media
