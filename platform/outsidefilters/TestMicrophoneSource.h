#pragma once
// kestreltestmicrophonesrc, long name "Kestrel Test Microphone Source": the
// live audio source behind the device "Kestrel Test Microphone". A quiet
// 440 Hz tone, and a loud 30 ms burst at 1000 Hz that begins whenever the
// pipeline clock passes a whole multiple of burst-interval-ms
// (platform/outsidefilters/testpattern/TestMicrophoneSignal.h).
//
// Pads:
//   src  audio/x-raw, format=S16LE, layout=interleaved, rate=[8000, 48000],
//        channels=[1, 2] (48000 Hz mono unless downstream asks otherwise)
//
// Buffers hold `blocksize` bytes (rounded down to whole frames), carry the
// running time of their first sample's capture as PTS and are pushed when the
// clock reaches the end of their last sample, as from a real microphone.
// The burst in a buffer therefore starts at clock time
//   (the element's) base time + PTS + (sample index) / rate,
// which is a whole multiple of the interval. With the system clock (the
// pipeline's clock unless an element offers another) that is CLOCK_MONOTONIC,
// so a listener on the same machine takes an onset it hears at monotonic time
// T as sent at the last multiple of the interval before T, as long as the
// delay stays under one interval.
//
// Properties:
//   burst-interval-ms  time between burst onsets (default 500), taken at the
//                      next negotiation
//
// Example:
//   gst-launch-1.0 kestreltestmicrophonesrc blocksize=4000 ! kestreltruespeech !
//       avdec_truespeech ! autoaudiosink

#include <gst/base/gstbasesrc.h>
#include <gst/gst.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_TEST_MICROPHONE_SOURCE (kestrel_test_microphone_source_get_type())
G_DECLARE_FINAL_TYPE(KestrelTestMicrophoneSource, kestrel_test_microphone_source, KESTREL, TEST_MICROPHONE_SOURCE,
                     GstBaseSrc)

// The caps of the source pad's template (a new reference).
GstCaps* kestrel_test_microphone_source_template_caps(void);

G_END_DECLS
