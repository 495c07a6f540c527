#include "platform/outsidefilters/H263DecodeFilter.h"

#include "platform/outsidefilters/BinPads.h"
#include "platform/outsidefilters/H263KeyFrameGate.h"
#include "platform/outsidefilters/OutsideFilters.h"

GST_DEBUG_CATEGORY_STATIC(kestrel_h263_decode_debug);
#define GST_CAT_DEFAULT kestrel_h263_decode_debug

using namespace kestrel::outsidefilters;

struct _KestrelH263DecodeFilter {
  GstBin parent;
  H263KeyFrameGate* gate;  // owned
};

G_DEFINE_TYPE(KestrelH263DecodeFilter, kestrel_h263_decode_filter, GST_TYPE_BIN)

namespace {

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                                            GST_STATIC_CAPS("video/x-h263, variant=(string)itu"));

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                                                           GST_STATIC_CAPS("video/x-raw"));

// In front of the decoder: after a lost picture, and at the start, only a
// key frame goes in (H263KeyFrameGate); a flush or a new stream starts over.
GstPadProbeReturn GateInput(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto* gate = static_cast<H263KeyFrameGate*>(data);
  if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_DROP;
    const bool taken = gate->Take({map.data, map.size}, GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT));
    gst_buffer_unmap(buffer, &map);
    if (taken) return GST_PAD_PROBE_OK;
    GST_LOG_OBJECT(pad, "dropped a picture of %" G_GSIZE_FORMAT " bytes: waiting for a key frame",
                   gst_buffer_get_size(buffer));
    return GST_PAD_PROBE_DROP;
  }
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP || GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START)
    gate->Restart();
  return GST_PAD_PROBE_OK;
}

}  // namespace

static void kestrel_h263_decode_filter_finalize(GObject* object) {
  delete KESTREL_H263_DECODE_FILTER(object)->gate;
  G_OBJECT_CLASS(kestrel_h263_decode_filter_parent_class)->finalize(object);
}

static void kestrel_h263_decode_filter_class_init(KestrelH263DecodeFilterClass* klass) {
  GST_DEBUG_CATEGORY_INIT(kestrel_h263_decode_debug, "kestrelh263decode", 0, "H263 Decode Filter");
  G_OBJECT_CLASS(klass)->finalize = kestrel_h263_decode_filter_finalize;
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  gst_element_class_add_static_pad_template(element, &sinkTemplate);
  gst_element_class_add_static_pad_template(element, &srcTemplate);
  gst_element_class_set_static_metadata(element, kH263DecodeLongName, "Codec/Decoder/Video",
                                        "Decodes a call's H.263 video, dropping pictures that do not decode",
                                        "Kestrel developers");
}

static void kestrel_h263_decode_filter_init(KestrelH263DecodeFilter* self) {
  self->gate = new H263KeyFrameGate;
  GstBin* bin = GST_BIN(self);
  GstElement* decoder = MakeElement("avdec_h263", "decoder");
  if (decoder != nullptr) {
    // A picture libavcodec finds damaged is dropped, and no count of
    // failures ever turns into an error: the next key frame repairs the
    // picture, whatever the network did to the ones before.
    g_object_set(decoder, "output-corrupt", FALSE, "max-errors", -1, nullptr);
    gst_bin_add(bin, decoder);
    GstPad* input = gst_element_get_static_pad(decoder, "sink");
    gst_pad_add_probe(input,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                   GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      GateInput, self->gate, nullptr);
    gst_object_unref(input);
  }
  AddGhostPad(bin, decoder, "sink", &sinkTemplate);
  AddGhostPad(bin, decoder, "src", &srcTemplate);
}
