#pragma once
// kestreltruespeech, long name "DSP Group TrueSpeech(TM)": the audio
// compressor of a call's send graph. A bin that converts and resamples
// whatever raw audio the microphone delivers to 8 kHz mono and encodes it
// with kestreltruespeechenc.
//
// Pads:
//   sink  audio/x-raw (any format, rate and channel count audioconvert and
//         audioresample accept)
//   src   audio/x-truespeech, rate=8000, channels=1, block_align=32
//
// The send graph finds it by its long name in the registry; from the command
// line it goes by its factory name:
//   gst-launch-1.0 alsasrc blocksize=4000 ! kestreltruespeech ! avdec_truespeech ! autoaudiosink

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_TRUESPEECH_COMPRESSOR (kestrel_truespeech_compressor_get_type())
G_DECLARE_FINAL_TYPE(KestrelTrueSpeechCompressor, kestrel_truespeech_compressor, KESTREL, TRUESPEECH_COMPRESSOR, GstBin)

G_END_DECLS
