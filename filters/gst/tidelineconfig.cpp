#include "filters/gst/tidelineconfig.h"

G_DEFINE_INTERFACE(TidelineRtpSourceConfig, tideline_rtp_source_config, G_TYPE_OBJECT)
G_DEFINE_INTERFACE(TidelineRtpSourcePeerConfig, tideline_rtp_source_peer_config, G_TYPE_OBJECT)
G_DEFINE_INTERFACE(TidelineRtpRenderConfig, tideline_rtp_render_config, G_TYPE_OBJECT)

static void tideline_rtp_source_config_default_init(TidelineRtpSourceConfigInterface *)
{
}

static void tideline_rtp_source_peer_config_default_init(TidelineRtpSourcePeerConfigInterface *)
{
}

static void tideline_rtp_render_config_default_init(TidelineRtpRenderConfigInterface *)
{
}
