#pragma once

// Plugin side of the configuration interfaces declared in the public header:
// their registration, done once when the plugin loads.
#include "tideline/rtpconfig.h"

G_BEGIN_DECLS
GType tideline_rtp_source_config_get_type(void);
GType tideline_rtp_source_peer_config_get_type(void);
GType tideline_rtp_render_config_get_type(void);
G_END_DECLS
