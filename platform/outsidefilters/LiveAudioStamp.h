#pragma once
// The timestamper inside "ACM Wrapper" (a GstBaseTransform over
// LiveAudioTimeline), not registered on its own: raw audio that arrived
// without timestamps leaves with a continuous timeline, and the latency query
// gains `latency`. From a live upstream (as the latency query tells) the
// arrival times in running time place the buffers (LiveAudioTimeline); from
// one that is not live (a file, a test) they simply follow one another.
//
// Pads: sink and src audio/x-raw (any format), in place.
// Property: latency  guint, ms, 10..1000, default 20.

#include <gst/base/gstbasetransform.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_LIVE_AUDIO_STAMP (kestrel_live_audio_stamp_get_type())
G_DECLARE_FINAL_TYPE(KestrelLiveAudioStamp, kestrel_live_audio_stamp, KESTREL, LIVE_AUDIO_STAMP, GstBaseTransform)

G_END_DECLS

namespace kestrel::outsidefilters {

inline constexpr guint kDefaultAudioLatencyMs = 20;
inline constexpr guint kMinAudioLatencyMs = 10;
inline constexpr guint kMaxAudioLatencyMs = 1000;

void InstallLatencyProperty(GObjectClass* klass, guint id);

}  // namespace kestrel::outsidefilters
