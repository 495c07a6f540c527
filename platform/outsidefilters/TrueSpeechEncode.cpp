#include "platform/outsidefilters/TrueSpeechEncode.h"

#include <array>
#include <cstring>

#include "platform/truespeech/TrueSpeechEncoder.h"

using kestrel::truespeech::kFrameBytes;
using kestrel::truespeech::kFrameSamples;
using kestrel::truespeech::TrueSpeechEncoder;

struct _KestrelTrueSpeechEncode {
  GstAudioEncoder parent;
  TrueSpeechEncoder* encoder;  // owned; exists between start and stop
};

G_DEFINE_TYPE(KestrelTrueSpeechEncode, kestrel_truespeech_encode, GST_TYPE_AUDIO_ENCODER)

namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)S16LE, rate=(int)8000, channels=(int)1, layout=(string)interleaved"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-truespeech, rate=(int)8000, channels=(int)1, block_align=(int)32"));

KestrelTrueSpeechEncode* self(GstAudioEncoder* base) { return reinterpret_cast<KestrelTrueSpeechEncode*>(base); }

gboolean start(GstAudioEncoder* base) {
  delete self(base)->encoder;
  self(base)->encoder = new TrueSpeechEncoder();
  return TRUE;
}

gboolean stop(GstAudioEncoder* base) {
  delete self(base)->encoder;
  self(base)->encoder = nullptr;
  return TRUE;
}

gboolean setFormat(GstAudioEncoder* base, GstAudioInfo*) {
  self(base)->encoder->reset();
  GstCaps* caps = gst_static_pad_template_get_caps(&srcTemplate);
  const gboolean ok = gst_audio_encoder_set_output_format(base, caps);
  gst_caps_unref(caps);
  // Exactly one frame per call; a partial last frame still arrives at the end.
  gst_audio_encoder_set_frame_samples_min(base, kFrameSamples);
  gst_audio_encoder_set_frame_samples_max(base, kFrameSamples);
  gst_audio_encoder_set_frame_max(base, 1);
  gst_audio_encoder_set_hard_min(base, FALSE);
  return ok;
}

GstFlowReturn handleFrame(GstAudioEncoder* base, GstBuffer* input) {
  if (input == nullptr) return GST_FLOW_OK;  // drain: the encoder holds nothing back

  GstMapInfo in;
  if (!gst_buffer_map(input, &in, GST_MAP_READ)) {
    GST_ELEMENT_ERROR(base, STREAM, ENCODE, ("Could not read the audio to encode."), (nullptr));
    return GST_FLOW_ERROR;
  }
  const gsize samples = in.size / sizeof(int16_t);
  // The stream's last frame may be short: complete it with silence.
  std::array<int16_t, kFrameSamples> pcm{};
  memcpy(pcm.data(), in.data, MIN(samples, static_cast<gsize>(kFrameSamples)) * sizeof(int16_t));
  gst_buffer_unmap(input, &in);

  const auto frame = self(base)->encoder->encode(pcm);
  GstBuffer* output = gst_buffer_new_memdup(frame.data(), kFrameBytes);
  return gst_audio_encoder_finish_frame(base, output, static_cast<gint>(MIN(samples, static_cast<gsize>(kFrameSamples))));
}

void finalize(GObject* object) {
  delete reinterpret_cast<KestrelTrueSpeechEncode*>(object)->encoder;
  G_OBJECT_CLASS(kestrel_truespeech_encode_parent_class)->finalize(object);
}

}  // namespace

static void kestrel_truespeech_encode_class_init(KestrelTrueSpeechEncodeClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, "TrueSpeech Encoder", "Codec/Encoder/Audio",
                                        "Encodes 8 kHz mono speech as TrueSpeech, 32 bytes per 30 ms",
                                        "Kestrel developers");
  GstAudioEncoderClass* encoder = GST_AUDIO_ENCODER_CLASS(klass);
  encoder->start = start;
  encoder->stop = stop;
  encoder->set_format = setFormat;
  encoder->handle_frame = handleFrame;
}

static void kestrel_truespeech_encode_init(KestrelTrueSpeechEncode* self) { self->encoder = nullptr; }
