#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define GST_TYPE_TIDELINE_RTP_SRC (gst_tideline_rtp_src_get_type())
G_DECLARE_FINAL_TYPE(GstTidelineRtpSrc, gst_tideline_rtp_src, GST, TIDELINE_RTP_SRC, GstElement)

G_END_DECLS
