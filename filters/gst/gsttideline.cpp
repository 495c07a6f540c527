// The Tideline plugin: registers the two RTP elements and nothing else.
#include "filters/gst/gsttidelinertprender.h"
#include "filters/gst/gsttidelinertpsrc.h"
#include "filters/gst/tidelineconfig.h"

#include <gst/gst.h>

#include <iterator>

namespace {

// The module's class table: two elements and the property page each one
// names in its metadata. Pages are Qt widgets a host creates by identifier
// (filters/pages); the plugin itself holds only their identity.
struct ClassTableEntry {
    const char *name;
    const char *classId;
    const char *factoryName; // null for a property page
    GType (*type)();
};

constexpr ClassTableEntry kClassTable[] = {
    {TIDELINE_RTP_SOURCE_LONG_NAME, TIDELINE_RTP_SOURCE_CLASS_ID, TIDELINE_RTP_SOURCE_FACTORY,
     gst_tideline_rtp_src_get_type},
    {"ORVA RTP Source Filter Property Page", TIDELINE_RTP_SOURCE_PAGE_ID, nullptr, nullptr},
    {TIDELINE_RTP_RENDER_LONG_NAME, TIDELINE_RTP_RENDER_CLASS_ID, TIDELINE_RTP_RENDER_FACTORY,
     gst_tideline_rtp_render_get_type},
    {"ORVA RTP Render Filter Property Page", TIDELINE_RTP_RENDER_PAGE_ID, nullptr, nullptr},
};
static_assert(std::size(kClassTable) == 4);

gboolean plugin_init(GstPlugin *plugin)
{
    // The interfaces exist before any element implements them.
    tideline_rtp_source_config_get_type();
    tideline_rtp_source_peer_config_get_type();
    tideline_rtp_render_config_get_type();
    for (const ClassTableEntry &entry : kClassTable) {
        // Rank none: auto-plugging never picks these; hosts add them by name.
        if (entry.factoryName && !gst_element_register(plugin, entry.factoryName, GST_RANK_NONE, entry.type()))
            return FALSE;
    }
    return TRUE;
}

} // namespace

#define PACKAGE "kestrel"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tideline,
                  "Tideline: RTP transport of compressed video and audio for Kestrel calls", plugin_init, "1.0.0.1",
                  "GPL", "orva Tideline", "https://kestrel.invalid/")
