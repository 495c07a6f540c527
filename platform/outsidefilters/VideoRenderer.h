#pragma once
// kestrelvideorenderer, long name "Video Renderer": the default video
// renderer, the one a graph builder adds when a raw video pad has nowhere
// else to go (the send graph's builder removes it again). A bin of
// videoconvert and the first video sink that opens on this desktop
// (VideoSinkChoice.h: Wayland, then X11), which shows the video in a window
// of its own. Where none opens (no display, as on a build machine) a fakesink
// consumes the video, so its state changes never fail.
//
// The sink is chosen when the bin first goes from NULL to READY; its name in
// the bin is "sink".
//
// Pads:
//   sink  video/x-raw (any format videoconvert takes)
//
// Example:
//   gst-launch-1.0 videotestsrc ! kestrelvideorenderer

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_VIDEO_RENDERER (kestrel_video_renderer_get_type())
G_DECLARE_FINAL_TYPE(KestrelVideoRenderer, kestrel_video_renderer, KESTREL, VIDEO_RENDERER, GstBin)

G_END_DECLS
