// Lists where Kestrel's plugins were found and which factory provides each
// RTP element, after the same scan the program makes at start.
#include "media/ElementCatalogue.h"
#include "media/PluginLocator.h"

#include <gst/gst.h>

#include <cstdio>

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    const kestrel::media::PluginLocation location = kestrel::media::ScanOwnPlugins();
    const char *kind = location.kind == kestrel::media::PluginLocation::Kind::BuildTree       ? "build-tree"
                       : location.kind == kestrel::media::PluginLocation::Kind::InstallPrefix ? "install-prefix"
                                                                                              : "none";
    std::printf("location %s %s\n", kind, location.directory.c_str());
    int missing = 0;
    for (const char *name : {"ORVA RTP Source Filter", "ORVA RTP Render Filter"}) {
        auto factory = kestrel::media::CElementCatalogue::FindByLongName(name);
        if (!factory) {
            std::printf("missing %s\n", name);
            ++missing;
            continue;
        }
        kestrel::media::GstRef<GstPlugin> plugin(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory.get())));
        std::printf("found %s %s\n", name, plugin ? gst_plugin_get_filename(plugin.get()) : "?");
    }
    return missing == 0 ? 0 : 1;
}
