#pragma once
// kestrelh263dec, long name "H263 Decode Filter": the video decoder of a
// call's receive graph, a bin around avdec_h263. It takes what the RTP source
// delivers on "Video Transport" (one picture per buffer, no timestamps).
// Damage from the network never stops the graph: what does not decode is
// dropped, and a picture cut short is shown with its missing part taken from
// the picture before (libavcodec's concealment) until the next key frame.
// A buffer marked DISCONT (the source lost a picture before it) and the
// pictures after it are dropped up to the next key frame, as is everything
// before the first key frame: an inter picture whose reference is missing
// would show a wrong picture.
//
// Pads:
//   sink  video/x-h263, variant=itu (the RTP source sends 176 x 144)
//   src   video/x-raw (I420 at the stream's size)
//
// Example:
//   gst-launch-1.0 tidelinertpsrc name=s s."Video Transport" ! kestrelh263dec ! videoconvert ! autovideosink

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_H263_DECODE_FILTER (kestrel_h263_decode_filter_get_type())
G_DECLARE_FINAL_TYPE(KestrelH263DecodeFilter, kestrel_h263_decode_filter, KESTREL, H263_DECODE_FILTER, GstBin)

G_END_DECLS
