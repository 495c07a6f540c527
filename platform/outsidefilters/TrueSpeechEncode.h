#pragma once
// kestreltruespeechenc: TrueSpeech encoder element (GstAudioEncoder), a thin
// shell over kestrel::truespeech::TrueSpeechEncoder.
//
// Pads:
//   sink  audio/x-raw, format=S16LE, rate=8000, channels=1, layout=interleaved
//         (buffers of any size: whole 240-sample frames are cut from them and
//         the remainder waits for the next buffer; at the end of the stream the
//         last partial frame is completed with silence)
//   src   audio/x-truespeech, rate=8000, channels=1, block_align=32
//         (one 32-byte frame per buffer, 30 ms each)
//
// Example:
//   gst-launch-1.0 audiotestsrc ! audio/x-raw,format=S16LE,rate=8000,channels=1 !
//       kestreltruespeechenc ! avdec_truespeech ! autoaudiosink

#include <gst/audio/gstaudioencoder.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_TRUESPEECH_ENCODE (kestrel_truespeech_encode_get_type())
G_DECLARE_FINAL_TYPE(KestrelTrueSpeechEncode, kestrel_truespeech_encode, KESTREL, TRUESPEECH_ENCODE, GstAudioEncoder)

G_END_DECLS
