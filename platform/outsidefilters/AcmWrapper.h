#pragma once
// kestrelacmwrapper, long name "ACM Wrapper": the audio decoder of a call's
// receive graph. A bin that decodes TrueSpeech (avdec_truespeech) or mu-law
// (mulawdec), chosen by the caps that arrive, gives the untimed live stream a
// continuous timeline (LiveAudioStamp.h) and converts and resamples at the
// end, so any audio sink plays it without gaps.
//
// Pads:
//   sink  audio/x-truespeech (as the RTP source delivers it: rate 8000,
//         channels 1, block_align 32, codec_data; one or a few 32-byte frames
//         per buffer); or audio/x-mulaw
//   src   audio/x-raw (whatever the sink takes)
//
// Property:
//   latency  guint, ms, 10..1000, default 20: how late a buffer may arrive and
//            still play in its place; the latency query reports it, so the
//            sink plays that much behind the network.
//
// Example:
//   gst-launch-1.0 tidelinertpsrc name=s s."Audio Transport" ! kestrelacmwrapper ! autoaudiosink

#include <gst/gstbin.h>

G_BEGIN_DECLS

#define KESTREL_TYPE_ACM_WRAPPER (kestrel_acm_wrapper_get_type())
G_DECLARE_FINAL_TYPE(KestrelAcmWrapper, kestrel_acm_wrapper, KESTREL, ACM_WRAPPER, GstBin)

G_END_DECLS
