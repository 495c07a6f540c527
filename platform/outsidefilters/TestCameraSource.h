#pragma once
// kestreltestcamerasrc, long name "Kestrel Test Camera Source": the live
// video source behind the device "Kestrel Test Camera". It makes a frame when
// the pipeline clock reaches the frame's time, reads CLOCK_MONOTONIC at that
// moment and paints it, with the frame number and a checksum of the picture,
// into a moving test picture (platform/outsidefilters/testpattern/): a reader
// finds them again after H.263 coding at 176 x 144.
//
// Pads:
//   src  video/x-raw, format={I420, BGRx}, 176 x 144 or 352 x 288,
//        framerate=[1/60, 120/1] (30/1 unless downstream asks otherwise),
//        pixel-aspect-ratio=1/1
//
// Buffers carry the running time of their capture as PTS, a frame's duration,
// and their frame number (from 0 at each start) as offset. Frame numbers run
// on without a gap; after a stall (a pause, a slow consumer) the next frame is
// marked DISCONT and its time jumps ahead to the present.
//
// Example:
//   gst-launch-1.0 kestreltestcamerasrc ! video/x-raw,width=176,height=144 !
//       avenc_h263 ! avdec_h263 ! videoconvert ! autovideosink

#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_TEST_CAMERA_SOURCE (kestrel_test_camera_source_get_type())
G_DECLARE_FINAL_TYPE(KestrelTestCameraSource, kestrel_test_camera_source, KESTREL, TEST_CAMERA_SOURCE, GstPushSrc)

// The caps of the source pad's template (a new reference).
GstCaps* kestrel_test_camera_source_template_caps(void);

G_END_DECLS
