#pragma once
// kestrelsmarttee, long name "Smart Tee": splits a camera's stream as
// DirectShow's Smart Tee does. "Capture" gets every buffer on the upstream
// thread; "Preview" gets what its branch has time for: it runs on a thread of
// its own behind a leaky queue of one buffer, so a slow or blocked preview
// drops pictures instead of holding up Capture. Preview buffers carry no
// timestamps, so a renderer shows them at once. An unlinked output, or a
// preview whose downstream fails, never stops the other; a pad linked later
// starts receiving.
//
// Pads:
//   Input    sink, always, ANY
//   Capture  src, always, ANY
//   Preview  src, always, ANY
//
// Example (pad names with capitals need linking by name):
//   gst-launch-1.0 v4l2src ! kestrelsmarttee name=t t.Capture ! kestrelh263enc ! fakesink
//       t.Preview ! videoconvert ! autovideosink

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_SMART_TEE (kestrel_smart_tee_get_type())
G_DECLARE_FINAL_TYPE(KestrelSmartTee, kestrel_smart_tee, KESTREL, SMART_TEE, GstBin)

G_END_DECLS
