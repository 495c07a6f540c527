#pragma once
// kestrelh263enc, long name "H263 Encode Filter": the video encoder of a
// call's send graph. A bin that converts and scales whatever raw video the
// camera gives to QCIF I420 and encodes it with the H.263 encoder of
// H263Encode.h (no queue, nothing held back: each picture leaves as soon as
// it is encoded).
//
// Pads:
//   sink  video/x-raw (any format and size videoconvert and videoscale take)
//   src   video/x-h263, variant=itu, h263version=h263, width=176, height=144
//
// Properties, both changeable while streaming:
//   bitrate            guint, bit/s, 8000..1000000, default 128000; applied at
//                      the next picture, which becomes a key frame (the
//                      encoder is reopened: its rate control cannot change
//                      rate in flight). At low frame rates the encoder may
//                      aim lower, so that no picture outgrows what the
//                      receiver takes (10240 bytes).
//   keyframe-interval  guint, ms, 100..60000, default 1000: the longest time
//                      between key frames; the first picture, and during the
//                      first second pictures ever further apart (0, 33, 67,
//                      133, 267, 517, 767 ms), are key frames too.
//
// Its property page is named by the element metadata "kestrel-property-page"
// (see OutsideFilters.h).
//
// Example:
//   gst-launch-1.0 v4l2src ! kestrelh263enc bitrate=256000 ! avdec_h263 ! videoconvert ! autovideosink

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_H263_ENCODE_FILTER (kestrel_h263_encode_filter_get_type())
G_DECLARE_FINAL_TYPE(KestrelH263EncodeFilter, kestrel_h263_encode_filter, KESTREL, H263_ENCODE_FILTER, GstBin)

G_END_DECLS
