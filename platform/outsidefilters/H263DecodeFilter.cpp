#include "platform/outsidefilters/H263DecodeFilter.h"

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/OutsideFilters.h"

using namespace kestrel::outsidefilters;

struct _KestrelH263DecodeFilter {
  GstBin parent;
};

G_DEFINE_TYPE(KestrelH263DecodeFilter, kestrel_h263_decode_filter, GST_TYPE_BIN)

namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                            GST_STATIC_CAPS("video/x-h263, variant=(string)itu"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                           GST_STATIC_CAPS("video/x-raw"));

}  // namespace

static void kestrel_h263_decode_filter_class_init(KestrelH263DecodeFilterClass* klass) {
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, kH263DecodeLongName, "Codec/Decoder/Video",
                                        "Decodes a call's H.263 video, dropping pictures that do not decode",
                                        "Kestrel developers");
}

static void kestrel_h263_decode_filter_init(KestrelH263DecodeFilter* self) {
  GstBin* bin = GST_BIN(self);
  GstElement* decoder = MakeElement("avdec_h263", "decoder");
  if (decoder != nullptr) {
    // A picture libavcodec finds damaged is dropped, and no count of
    // failures ever turns into an error: the next key frame repairs the
    // picture, whatever the network did to the ones before.
    g_object_set(decoder, "output-corrupt", FALSE, "max-errors", -1, nullptr);
    gst_bin_add(bin, decoder);
  }
  AddGhostPad(bin, decoder, "sink", &sinkTemplate);
  AddGhostPad(bin, decoder, "src", &srcTemplate);
}
