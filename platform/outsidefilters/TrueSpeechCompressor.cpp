#include "platform/outsidefilters/TrueSpeechCompressor.h"

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/OutsideFilters.h"
#include "platform/outsidefilters/TrueSpeechEncode.h"

struct _KestrelTrueSpeechCompressor {
  GstBin parent;
};

G_DEFINE_TYPE(KestrelTrueSpeechCompressor, kestrel_truespeech_compressor, GST_TYPE_BIN)

using kestrel::outsidefilters::AddGhostPad;

namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                            GST_STATIC_CAPS("audio/x-raw"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-truespeech, rate=(int)8000, channels=(int)1, block_align=(int)32"));

}  // namespace

static void kestrel_truespeech_compressor_class_init(KestrelTrueSpeechCompressorClass* klass) {
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, kestrel::outsidefilters::kTrueSpeechLongName, "Codec/Encoder/Audio",
                                        "Compresses microphone audio as TrueSpeech (8 kHz mono, 8.5 kbit/s)",
                                        "Kestrel developers");
}

static void kestrel_truespeech_compressor_init(KestrelTrueSpeechCompressor* self) {
  GstBin* bin = GST_BIN(self);
  GstElement* encoder = GST_ELEMENT(g_object_new(KESTREL_TYPE_TRUESPEECH_ENCODE, "name", "encoder", nullptr));
  GstElement* convert = gst_element_factory_make("audioconvert", "convert");
  GstElement* resample = gst_element_factory_make("audioresample", "resample");
  gst_bin_add(bin, encoder);
  GstElement* first = encoder;
  if (convert != nullptr && resample != nullptr) {
    gst_bin_add_many(bin, convert, resample, nullptr);
    gst_element_link_many(convert, resample, encoder, nullptr);
    first = convert;
  } else {
    // Without GStreamer's base converters the compressor takes 8 kHz mono S16 only.
    g_warning("audioconvert or audioresample missing: TrueSpeech compressor accepts 8 kHz mono S16 only");
    if (convert != nullptr) gst_object_unref(gst_object_ref_sink(convert));
    if (resample != nullptr) gst_object_unref(gst_object_ref_sink(resample));
  }
  AddGhostPad(bin, first, "sink", &sinkTemplate);
  AddGhostPad(bin, encoder, "src", &srcTemplate);
}
