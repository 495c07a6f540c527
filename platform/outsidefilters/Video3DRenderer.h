#pragma once
// kestrelvideo3d, long name "ORVA Video3D Renderer": the program's video
// sink, for the local preview and for the far end's video. It does not draw:
// it converts whatever raw video comes to BGRx (QImage::Format_RGB32 on the
// little-endian machines Kestrel runs on) and hands every frame to whoever
// hosts it, so it works the same on X11, Wayland and offscreen; with no host
// it still consumes and counts the frames.
//
// Pads:
//   Input  sink, always, video/x-raw (any format and size videoconvert takes;
//          the size is kept)
//
// Signal:
//   frame-shown  void handler(GstElement* renderer, GstSample* sample, gpointer)
//                Emitted on the streaming thread for every frame rendered,
//                once per buffer; any number of handlers may connect (the
//                video widget, call statistics, a picture over a game). The
//                sample (BGRx buffer, caps with its size, segment) is
//                borrowed for the call: take a reference to keep it, and
//                return quickly; a handler that blocks holds up the stream.
//                Cross to a UI thread by posting.
// Property:
//   frames-shown  guint64, read-only: frames rendered since the renderer last
//                 went from READY to PAUSED (set to 0 there).
//
// Latency: no sync to the clock (buffers from the network carry no
// timestamps; each frame is shown as it comes), QoS off, no processing
// deadline, and state changes never wait for a first frame, so a live graph
// that has no video yet is PLAYING at once.
//
// Example:
//   gst-launch-1.0 videotestsrc ! kestrelvideo3d

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_VIDEO3D_RENDERER (kestrel_video3d_renderer_get_type())
G_DECLARE_FINAL_TYPE(KestrelVideo3DRenderer, kestrel_video3d_renderer, KESTREL, VIDEO3D_RENDERER, GstBin)

G_END_DECLS
