#pragma once
// The sink inside "ORVA Video3D Renderer" (a GstVideoSink), not registered on
// its own: it draws nothing and hands each frame it renders, as a sample, to
// the function its owner set. Defaults for live video from the network: no
// sync to the clock, no QoS, no processing deadline, no waiting for preroll
// in state changes, preroll frames not shown (so each buffer is handed on
// once).

#include <gst/video/gstvideosink.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_FRAME_SINK (kestrel_frame_sink_get_type())
G_DECLARE_FINAL_TYPE(KestrelFrameSink, kestrel_frame_sink, KESTREL, FRAME_SINK, GstVideoSink)

G_END_DECLS

namespace kestrel::outsidefilters {

// Called on the streaming thread for every frame rendered; the sample is
// borrowed for the call.
using FrameHandler = void (*)(GstSample* sample, gpointer data);
// Set before the sink streams; `data` must outlive it.
void SetFrameHandler(KestrelFrameSink* sink, FrameHandler handler, gpointer data);

}  // namespace kestrel::outsidefilters
