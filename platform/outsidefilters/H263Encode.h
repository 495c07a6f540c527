#pragma once
// The H.263 encoder inside "H263 Encode Filter" (a GstVideoEncoder over
// H263EncoderSession), not registered on its own.
//
// Pads:
//   sink  video/x-raw, format=I420, width=176, height=144
//   src   video/x-h263, variant=itu, h263version=h263, width=176, height=144
//         (one picture per buffer, key frames without the delta-unit flag)
//
// Properties (both may change while streaming):
//   bitrate            guint, bit/s: a change reopens the encoder at the next
//                      picture, which is then a key frame
//   keyframe-interval  guint, ms: the longest time between key frames
//                      (see KeyFrameSchedule), from the next picture on
// Upstream force-key-unit requests are honoured at the next picture.

#include <gst/video/gstvideoencoder.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_H263_ENCODE (kestrel_h263_encode_get_type())
G_DECLARE_FINAL_TYPE(KestrelH263Encode, kestrel_h263_encode, KESTREL, H263_ENCODE, GstVideoEncoder)

G_END_DECLS

namespace kestrel::outsidefilters {

inline constexpr guint kDefaultBitrateBps = 128000;
inline constexpr guint kMinBitrateBps = 8000;
inline constexpr guint kMaxBitrateBps = 1000000;
inline constexpr guint kDefaultKeyFrameIntervalMs = 1000;
inline constexpr guint kMinKeyFrameIntervalMs = 100;
inline constexpr guint kMaxKeyFrameIntervalMs = 60000;

// The two properties as the encoder and the filter around it install them.
void InstallH263EncodeProperties(GObjectClass* klass, guint bitrateId, guint keyFrameIntervalId);

}  // namespace kestrel::outsidefilters
