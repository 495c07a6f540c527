#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_TIDELINE_RTP_RENDER (gst_tideline_rtp_render_get_type())
G_DECLARE_FINAL_TYPE(GstTidelineRtpRender, gst_tideline_rtp_render, GST, TIDELINE_RTP_RENDER, GstElement)

G_END_DECLS
